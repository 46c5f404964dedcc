// SPDX-License-Identifier: MIT
#include "corpus.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

struct entry {
    std::string name;
    bool directory;
};

// The entries of `dir` but . and .., sorted; false (errno set) if it cannot be listed.
bool list(const std::string& dir, bool hidden, std::vector<entry>& out) {
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    for (;;) {
        errno = 0;  // readdir sets it only on failure; a stat below may set it too
        dirent* e = readdir(d);
        if (!e) break;
        std::string name = e->d_name;
        if (name == "." || name == ".." || (!hidden && name[0] == '.')) continue;
        bool directory = e->d_type == DT_DIR;
        bool link = e->d_type == DT_LNK;
        struct stat st;
        if (e->d_type == DT_UNKNOWN && fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            directory = S_ISDIR(st.st_mode);
            link = S_ISLNK(st.st_mode);
        }
        // A link to a directory is neither descended into nor scored.
        if (link && fstatat(dirfd(d), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) continue;
        out.push_back({std::move(name), directory});
    }
    int err = errno;
    closedir(d);
    errno = err;
    std::sort(out.begin(), out.end(), [](const entry& a, const entry& b) { return a.name < b.name; });
    return err == 0;
}

void walk_directory(const std::string& dir, bool hidden, const std::function<void(const std::string&)>& file,
                    const std::function<void(const std::string&, int)>& unlisted) {
    std::vector<entry> entries;
    if (!list(dir, hidden, entries)) {
        unlisted(dir, errno);
        return;
    }
    const std::string prefix = dir.back() == '/' ? dir : dir + "/";
    for (const entry& e : entries) {
        std::string path = prefix + e.name;
        if (e.directory)
            walk_directory(path, hidden, file, unlisted);
        else
            file(path);
    }
}

}  // namespace

void walk_corpus(const std::string& root, bool hidden, const std::function<void(const std::string&)>& file,
                 const std::function<void(const std::string&, int)>& unlisted) {
    struct stat st;
    if (!root.empty() && stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        walk_directory(root, hidden, file, unlisted);
    else
        file(root);
}

std::vector<corpus_entry> list_corpus(const std::vector<std::string>& roots, bool hidden) {
    std::vector<corpus_entry> entries;
    for (const std::string& root : roots)
        walk_corpus(
            root, hidden, [&](const std::string& path) { entries.push_back({path, 0}); },
            [&](const std::string& dir, int err) { entries.push_back({dir, err}); });
    return entries;
}
