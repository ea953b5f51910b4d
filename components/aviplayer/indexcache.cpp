#include "components/aviplayer/indexcache.h"

#include <filesystem>
#include <list>
#include <mutex>

namespace aviplayer {

namespace {

struct Entry {
    IndexCache::Key id;
    std::shared_ptr<const FrameIndex> index;
};

std::mutex &cacheMutex() {
    static std::mutex m;
    return m;
}

std::list<Entry> &entries() {
    static std::list<Entry> list; // most recent first
    return list;
}

} // namespace

std::optional<IndexCache::Key> IndexCache::identify(const std::string &path, int stream) {
    std::error_code ec;
    const auto canonical = std::filesystem::canonical(path, ec);
    if (ec)
        return std::nullopt;
    Key key;
    key.path = canonical.string();
    key.stream = stream;
    key.size = std::filesystem::file_size(canonical, ec);
    if (ec)
        return std::nullopt;
    key.modified = std::filesystem::last_write_time(canonical, ec);
    if (ec)
        return std::nullopt;
    return key;
}

std::shared_ptr<const FrameIndex> IndexCache::find(const Key &key) {
    std::lock_guard lock(cacheMutex());
    auto &list = entries();
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->id == key) {
            list.splice(list.begin(), list, it);
            return list.front().index;
        }
    return {};
}

void IndexCache::store(const Key &key, FrameIndex index) {
    auto shared = std::make_shared<const FrameIndex>(std::move(index));
    std::lock_guard lock(cacheMutex());
    auto &list = entries();
    list.remove_if(
        [&](const Entry &e) { return e.id.path == key.path && e.id.stream == key.stream; });
    list.push_front(Entry{key, std::move(shared)});
    while (list.size() > kEntries)
        list.pop_back();
}

void IndexCache::clear() {
    std::lock_guard lock(cacheMutex());
    entries().clear();
}

} // namespace aviplayer
