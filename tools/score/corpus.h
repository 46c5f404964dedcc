// The files sortcost-score scores, in the order it scores them.
#pragma once

#include <functional>
#include <string>

// Calls `file` with each path to score under `root`: `root` itself when it is
// not a directory (a missing path too: it is scored as unreadable), else every
// entry below it, depth first, each directory's entries in byte order of their
// names. Symbolic links to directories below `root` are not followed and are
// not scored; a link to a file is scored as the file. A directory that cannot
// be listed is passed to `unlisted` with the error number.
void walk_corpus(const std::string& root, const std::function<void(const std::string&)>& file,
                 const std::function<void(const std::string&, int)>& unlisted);
