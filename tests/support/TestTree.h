#pragma once

#include <QString>

namespace tessaly::test {

// The tree of 300 files the tree transfer tests move: text files (moved in TYPE A) and binary ones
// holding CR and LF bytes, some empty, names with spaces, three levels of directories and one empty
// directory:
//   tree/: 10 files, "empty dir"/ and five directories of 10 files, each with four of 12 files.
// With hidden names, some files and one of the five directories have names that begin with a dot.
// A different `version` gives every file other contents and most of them other sizes; empty files
// stay empty.
struct TestTreeOptions {
    bool hiddenNames = false;
    int version = 0;
};

constexpr int kTestTreeFiles = 300;
constexpr int kTestTreeDirectories = 27; // the top directory included

// Writes the tree into `base` (made when missing; files there are replaced). False on any failure.
bool WriteTestTree(const QString& base, TestTreeOptions options = {});

// What `diff -r` says of the two trees (contents, names, hidden ones too, and empty directories):
// empty when they are equal, its output (or why it could not run) when not.
QString TreeDifferences(const QString& left, const QString& right);

} // namespace tessaly::test
