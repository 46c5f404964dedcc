// SPDX-License-Identifier: MIT
// The files a corpus holds, in the order the tools score them.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Calls `file` with each path to score under `root`: `root` itself when it is
// not a directory (a missing path too: it is scored as unreadable), else every
// entry below it, depth first, each directory's entries in byte order of their
// names. Names beginning with "." inside a directory are passed over unless
// `hidden` (engines keep their own state in such folders). Symbolic links to
// directories below `root` are not followed and are not scored; a link to a
// file is scored as the file. A directory that cannot be listed is passed to
// `unlisted` with the error number.
void walk_corpus(const std::string& root, bool hidden, const std::function<void(const std::string&)>& file,
                 const std::function<void(const std::string&, int)>& unlisted);

// One place walk_corpus reaches: a path to score, or a directory that could
// not be listed (`unlisted` is then its error number).
struct corpus_entry {
    std::string path;
    int unlisted = 0;
};

// Every entry walk_corpus reaches under each of `roots`, in order.
std::vector<corpus_entry> list_corpus(const std::vector<std::string>& roots, bool hidden);
