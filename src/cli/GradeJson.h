#pragma once
// The picture grade's keys in a jsonl row: "grade", then "decoded_rows" and "rows" for a
// decoded picture or "valid_bytes" for one graded by its structure.

#include <nlohmann/json.hpp>

#include "formats/PictureGrade.h"

inline void addGradeKeys(nlohmann::json& row, const formats::PictureGrade& grade) {
    row["grade"] = std::string(formats::healthText(grade.health));
    if (grade.decoded) {
        row["decoded_rows"] = grade.decodedRows;
        row["rows"] = grade.rows;
    } else {
        row["valid_bytes"] = grade.validBytes;
    }
}
