#pragma once
// The readable form of a signature set (data/signatures.tsv): one tab-separated row per
// signature in the settings editor's terms, so that the default set is reviewed as text and
// written to the binary settings file through the editor's own record builder.

#include <optional>
#include <string>
#include <vector>

#include "raw/SignatureFile.h"

/// Columns: ext, start, start_offset, end, size_offset, size_bytes, header_size,
/// size_includes_header (0/1), skip, approx, category, and an optional note. Lines that are
/// empty or start with '#' are comments.
struct SignatureTableRow {
    int line = 0;
    SignatureFields fields;
};

/// The rows of text, or nothing with error = "line N: reason" for the first malformed line.
std::optional<std::vector<SignatureTableRow>> parseSignatureTable(const std::string& text, std::string& error);

/// One record as a table row (without note), the inverse of a row's fields as far as the record
/// keeps them: what `signatures list` prints.
std::string signatureTableLine(const SignatureRecord& record);
