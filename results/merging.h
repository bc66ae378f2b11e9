#pragma once

// Joining the results of a class graded in shards (`orvimet-cli grade --shard K/N` on several
// machines) into the results of one run, as results.json holds them.

#include <QJsonObject>
#include <string>
#include <vector>

// One document from the shards' documents: their students together in the order one run would
// have them (name, then id, then folder), totals added up, the latest date. Shards must have been
// graded alike (exercise, cases, limits, sandbox, compiler and flags, give-up count, Orvimet's
// version) and completely, no student may stand in two of them, and when they say which shard
// they are ("shard": {"part": K, "of": N}) every one of the N must be there exactly once.
// False with `error` set otherwise.
bool merge_documents(const std::vector<QJsonObject> &shards, QJsonObject &merged,
                     std::string &error);
