#pragma once
// Real images for the tests: each is made once by a script in tests/images (named after it) with
// real tools, and cached in the build tree. A test whose image cannot be made here (no root, no
// FUSE, a tool missing) is skipped with the script's reason.

#include <gtest/gtest.h>

#include <string>

struct BuiltImage {
    bool ok = false;
    std::string path;    ///< the image file
    std::string reason;  ///< why it could not be made
};

/// Runs tests/images/<script> <cache-dir> once per process and returns the image it names.
/// The script prints the image path on its last stdout line, or "SKIP: reason" and exits 77.
BuiltImage buildImage(const std::string& script);

/// Runs a shell command, returning its stdout; exitStatus gets the command's exit status.
std::string runCommand(const std::string& command, int* exitStatus = nullptr);

/// The path of pictorva-cli in the build tree.
const std::string& cliPath();

#define REQUIRE_IMAGE(var, script)                 \
    const BuiltImage var = buildImage(script);     \
    if (!var.ok)                                    \
    GTEST_SKIP() << script << ": " << var.reason
