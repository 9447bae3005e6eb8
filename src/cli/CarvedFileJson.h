#pragma once
// One carved file as `carve --format jsonl` prints it: name, category, offset and length (its
// first byte on the volume and its whole length), exact, type, status, the picture grade's keys,
// "partial" for a file holding zeros for unreadable bytes, and "runs" for a file in pieces.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "GradeJson.h"
#include "raw/CarvedFile.h"

inline nlohmann::json carvedFileJson(const CarvedFile& file, const std::string& name, const std::string& category,
                                     const std::string& type, const std::optional<formats::PictureGrade>& grade, bool partial) {
    nlohmann::json row = {
        {"name", name},
        {"category", category},
        {"offset", file.start()},
        {"length", file.length()},
        {"exact", file.exact()},
        {"type", type},
        {"status", carvedFileStatusText(file)},
    };
    // Only a file in more than one piece has the key: a file in one piece is its offset and length.
    if (file.runs.size() > 1) {
        nlohmann::json runs = nlohmann::json::array();
        for (const CarvedRun& run : file.runs)
            runs.push_back({{"offset", run.start}, {"length", run.length}});
        row["runs"] = std::move(runs);
    }
    if (grade)
        addGradeKeys(row, *grade);
    // Some of its bytes could not be read: zeros stand in their place.
    if (partial)
        row["partial"] = true;
    return row;
}
