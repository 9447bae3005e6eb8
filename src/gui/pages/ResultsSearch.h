#pragma once
// The results page's search, run on its worker: the hits as list rows (path from the root's
// name, the reader's texts read here, where the reader may be used), handed on in batches.

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "pages/ResultsFileList.h"

class ProgressSink;

void searchInBatches(EntryView& view, const std::string& typePattern, const std::wregex& pattern, const std::string& rootName,
                     ProgressSink& progress, const std::function<void(std::vector<ResultsFileList::SearchRow>)>& deliver);
