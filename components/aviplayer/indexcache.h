// The frame indexes of the files opened last, kept for the process. Indexing reads the whole
// file; a second player opening the same file (the view after the application's indexing
// pass with its progress box, or the helper view that probes the size) takes the index
// from here instead of reading the file again. An entry is found only while the file keeps
// its size and modification time.
#pragma once

#include "components/aviplayer/frameindex.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace aviplayer {

class IndexCache {
public:
    static constexpr std::size_t kEntries = 2; // the files opened most recently

    // What an index was built from: a stream of a file in one state.
    struct Key {
        std::string path; // canonical
        int stream = -1;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified;
        bool operator==(const Key &) const = default;
    };

    // Taken before the file is read, so that a change while indexing is never stored
    // under the changed file's identity; nullopt when the file cannot be examined.
    static std::optional<Key> identify(const std::string &path, int stream);
    // The finished index (presentation order already learned), or null.
    static std::shared_ptr<const FrameIndex> find(const Key &key);
    static void store(const Key &key, FrameIndex index);
    static void clear();
};

} // namespace aviplayer
