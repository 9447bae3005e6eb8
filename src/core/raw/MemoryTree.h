#pragma once
// The carving engine's results tree for the command line and the tests: the check tree, walked
// after the run through item() and children().

#include "controls/CheckTree.h"

using MemoryTree = CheckTree;
