#pragma once

// Joining the results of a class graded in shards (`orvimet-cli grade --shard K/N` on several
// machines) into the results of one run.

#include "results/merging.h"

#include <string>
#include <vector>

// Reads results.json from each folder and writes the merged results.json into `out_folder`
// (made when missing). The grade sheets and pages are then made from it by write_outputs.
bool merge_results(const std::vector<std::string> &folders, const std::string &out_folder,
                   std::string &error);
