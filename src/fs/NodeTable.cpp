// SPDX-License-Identifier: MIT
#include "fs/NodeTable.h"

#include <vector>

namespace kelvane::fs {

namespace {

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

}  // namespace

NodeTable::NodeTable()
{
    Node root;
    root.lookups = 1;  // the kernel never forgets the root
    nodes_.emplace(rootId, std::move(root));
}

bool NodeTable::Probe::holdsFor(const platform::FileStat& raw) const
{
    return view.ino == raw.ino && sameTime(view.ctime, raw.ctime);
}

NodeTable::Id NodeTable::lookUp(Id parent, const std::string& name)
{
    std::lock_guard lock(mutex_);
    return lookUpLocked(parent, name);
}

std::vector<NodeTable::Listed> NodeTable::lookUpAll(Id parent, const std::vector<std::string>& names)
{
    std::vector<Listed> listed(names.size());
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < names.size(); ++i) {
        listed[i].id = lookUpLocked(parent, names[i]);
        listed[i].probe = nodes_.at(listed[i].id).probe;
    }
    return listed;
}

void NodeTable::settle(const std::vector<Listed>& listed)
{
    std::lock_guard lock(mutex_);
    for (const Listed& entry : listed) {
        if (entry.gone)
            forgetLocked(entry.id, 1);
        else if (const auto found = nodes_.find(entry.id); entry.probed && found != nodes_.end() && entry.probe)
            setProbe(entry.id, found->second, *entry.probe);
    }
}

NodeTable::Id NodeTable::lookUpLocked(Id parent, const std::string& name)
{
    if (const auto found = byName_.find({parent, name}); found != byName_.end()) {
        ++nodes_.at(found->second).lookups;
        return found->second;
    }
    const Id id = nextId_++;
    Node node;
    node.parent = parent;
    node.name = name;
    node.lookups = 1;
    nodes_.emplace(id, std::move(node));
    byName_.emplace(Key{parent, name}, id);
    ++nodes_.at(parent).children;
    return id;
}

void NodeTable::forget(Id id, std::uint64_t count)
{
    std::lock_guard lock(mutex_);
    forgetLocked(id, count);
}

void NodeTable::forgetLocked(Id id, std::uint64_t count)
{
    const auto found = nodes_.find(id);
    if (found == nodes_.end() || id == rootId)
        return;
    found->second.lookups -= std::min(count, found->second.lookups);
    dropIfUnused(id);
}

void NodeTable::dropIfUnused(Id id)
{
    // A parent goes once its last child went: a path is built through it.
    while (id != rootId) {
        const auto found = nodes_.find(id);
        if (found == nodes_.end() || found->second.lookups != 0 || found->second.children != 0)
            return;
        const Id parent = found->second.parent;
        unname(id, found->second);
        unindex(id, found->second);
        nodes_.erase(found);
        if (const auto up = nodes_.find(parent); up != nodes_.end())
            --up->second.children;
        id = parent;
    }
}

void NodeTable::unname(Id id, Node& node)
{
    if (!node.named)
        return;
    node.named = false;
    if (const auto found = byName_.find({node.parent, node.name}); found != byName_.end() && found->second == id)
        byName_.erase(found);
}

bool NodeTable::buildPath(Id id, std::string& out) const
{
    std::vector<const std::string*> names;
    while (id != rootId) {
        const auto found = nodes_.find(id);
        if (found == nodes_.end() || !found->second.named)
            return false;
        names.push_back(&found->second.name);
        id = found->second.parent;
    }
    out.clear();
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (!out.empty())
            out.push_back('/');
        out += **name;
    }
    return true;
}

std::optional<std::string> NodeTable::path(Id id) const
{
    std::lock_guard lock(mutex_);
    std::string out;
    if (!buildPath(id, out))
        return std::nullopt;
    return out;
}

std::optional<std::string> NodeTable::childPath(Id parent, const std::string& name) const
{
    std::lock_guard lock(mutex_);
    std::string out;
    if (!buildPath(parent, out))
        return std::nullopt;
    if (!out.empty())
        out.push_back('/');
    out += name;
    return out;
}

void NodeTable::removed(Id parent, const std::string& name)
{
    std::lock_guard lock(mutex_);
    const auto found = byName_.find({parent, name});
    if (found == byName_.end())
        return;
    const Id id = found->second;
    unname(id, nodes_.at(id));
}

void NodeTable::renamed(Id parent, const std::string& name, Id newParent, const std::string& newName, bool exchange)
{
    std::lock_guard lock(mutex_);
    const auto source = byName_.find({parent, name});
    const auto target = byName_.find({newParent, newName});
    const std::optional<Id> moving = source != byName_.end() ? std::optional(source->second) : std::nullopt;
    const std::optional<Id> replaced = target != byName_.end() ? std::optional(target->second) : std::nullopt;
    if (source != byName_.end())
        byName_.erase(source);
    if (const auto again = byName_.find({newParent, newName}); again != byName_.end())
        byName_.erase(again);

    const auto place = [&](Id id, Id folder, const std::string& entry) {
        Node& node = nodes_.at(id);
        if (node.parent != folder) {
            --nodes_.at(node.parent).children;
            ++nodes_.at(folder).children;
            node.parent = folder;
        }
        node.name = entry;
        node.named = true;
        byName_[{folder, entry}] = id;
    };
    if (replaced) {
        if (exchange)
            place(*replaced, parent, name);
        else
            nodes_.at(*replaced).named = false;
    }
    if (moving)
        place(*moving, newParent, newName);
}

std::optional<NodeTable::Probe> NodeTable::probe(Id id) const
{
    std::lock_guard lock(mutex_);
    const auto found = nodes_.find(id);
    if (found == nodes_.end())
        return std::nullopt;
    return found->second.probe;
}

void NodeTable::storeProbe(Id id, const Probe& probe)
{
    std::lock_guard lock(mutex_);
    const auto found = nodes_.find(id);
    if (found != nodes_.end())
        setProbe(id, found->second, probe);
}

// Another inode at the name has attributes of its own.
void NodeTable::setProbe(Id id, Node& node, const Probe& probe)
{
    const bool sameInode = node.probe && node.probe->view.dev == probe.view.dev && node.probe->view.ino == probe.view.ino;
    if (node.probe && !sameInode) {
        node.absent = 0;
        ++node.absentGeneration;
    }
    if (!sameInode) {
        unindex(id, node);
        byInode_[{probe.view.dev, probe.view.ino}].push_back(id);
    }
    node.probe = probe;
}

void NodeTable::unindex(Id id, const Node& node)
{
    if (!node.probe)
        return;
    const auto found = byInode_.find({node.probe->view.dev, node.probe->view.ino});
    if (found == byInode_.end())
        return;
    std::erase(found->second, id);
    if (found->second.empty())
        byInode_.erase(found);
}

std::vector<NodeTable::Id> NodeTable::nodesOf(dev_t dev, ino_t ino) const
{
    std::lock_guard lock(mutex_);
    const auto found = byInode_.find({dev, ino});
    return found == byInode_.end() ? std::vector<Id>() : found->second;
}

std::vector<NodeTable::Id> NodeTable::otherNames(Id id) const
{
    std::lock_guard lock(mutex_);
    const auto node = nodes_.find(id);
    if (node == nodes_.end() || !node->second.probe)
        return {};
    const auto found = byInode_.find({node->second.probe->view.dev, node->second.probe->view.ino});
    if (found == byInode_.end() || found->second.size() < 2)
        return {};
    std::vector<Id> others;
    for (const Id other : found->second)
        if (other != id)
            others.push_back(other);
    return others;
}

bool NodeTable::knownAbsent(Id id, Absent which, std::uint64_t& generation) const
{
    std::lock_guard lock(mutex_);
    const auto found = nodes_.find(id);
    if (found == nodes_.end()) {
        generation = UINT64_MAX;  // nothing to note
        return false;
    }
    generation = found->second.absentGeneration;
    return (found->second.absent & static_cast<std::uint8_t>(which)) != 0;
}

void NodeTable::noteAbsent(Id id, Absent which, std::uint64_t generation)
{
    std::lock_guard lock(mutex_);
    const auto found = nodes_.find(id);
    if (found == nodes_.end())
        return;
    if (found->second.absentGeneration == generation)
        found->second.absent |= static_cast<std::uint8_t>(which);
}

void NodeTable::forgetAbsent(Id id)
{
    std::lock_guard lock(mutex_);
    if (const auto found = nodes_.find(id); found != nodes_.end()) {
        found->second.absent = 0;
        ++found->second.absentGeneration;
    }
}

void NodeTable::forgetAllAbsent()
{
    std::lock_guard lock(mutex_);
    for (auto& [id, node] : nodes_) {
        node.absent = 0;
        ++node.absentGeneration;
    }
}

bool NodeTable::contentsChanged(Id id, const platform::FileStat& view)
{
    std::lock_guard lock(mutex_);
    const auto found = nodes_.find(id);
    if (found == nodes_.end())
        return true;
    Node& node = found->second;
    const bool changed = node.openedSize != view.size || !sameTime(node.openedMtime, view.mtime);
    node.openedSize = view.size;
    node.openedMtime = view.mtime;
    return changed;
}

std::optional<NodeTable::Id> NodeTable::find(Id parent, const std::string& name) const
{
    std::lock_guard lock(mutex_);
    const auto found = byName_.find({parent, name});
    return found == byName_.end() ? std::nullopt : std::optional(found->second);
}

std::vector<NodeTable::Named> NodeTable::named() const
{
    std::lock_guard lock(mutex_);
    std::vector<Named> out;
    out.reserve(byName_.size());
    for (const auto& [key, id] : byName_)
        out.push_back({id, key.first, key.second});
    return out;
}

std::size_t NodeTable::size() const
{
    std::lock_guard lock(mutex_);
    return nodes_.size();
}

}  // namespace kelvane::fs
