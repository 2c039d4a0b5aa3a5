// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileStat.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvane::fs {

// The file system's nodes, each a name in a folder, as the kernel knows them.
// A node is never tied to an inode: Kelvane's swap replaces a file's inode by
// rename, so every call looks the name up again below the served folder.
// Node ids are never reused. Thread-safe.
class NodeTable {
public:
    using Id = std::uint64_t;
    static constexpr Id rootId = 1;

    // What the platform view of a node's inode was, keyed by the inode and
    // its change time: while both stay, the records need not be read again.
    struct Probe {
        platform::FileStat view;
        bool decoded = false;  // reads go through the platform's decoding

        // Whether the probe still holds for the inode `raw` shows (its
        // records unread): the same inode, changed at the same time.
        bool holdsFor(const platform::FileStat& raw) const;
    };

    // A name of a folder listing, probed by several threads at once between
    // lookUpAll and settle.
    struct Listed {
        Id id = 0;
        // The probe kept for the node when looked up; once probed, its fresh
        // one when `probed`.
        std::optional<Probe> probe;
        bool probed = false;
        bool gone = false;  // could not be probed: not listed, its lookup given back
    };

    NodeTable();

    // The node of `name` in `parent`, made when new; its lookup count grows by one.
    Id lookUp(Id parent, const std::string& name);
    // The kernel forgets `count` lookups of `id`.
    void forget(Id id, std::uint64_t count);

    // The path of `id` below the served folder ("" for the folder itself);
    // nothing once the node lost its name (unlinked, replaced, forgotten).
    std::optional<std::string> path(Id id) const;
    // The path of `name` in `parent`.
    std::optional<std::string> childPath(Id parent, const std::string& name) const;

    // Names change: a node named by (parent, name) leaves, or moves.
    void removed(Id parent, const std::string& name);
    void renamed(Id parent, const std::string& name, Id newParent, const std::string& newName, bool exchange);

    // The probe kept for `id`, if any (see Probe::holdsFor).
    std::optional<Probe> probe(Id id) const;
    void storeProbe(Id id, const Probe& probe);

    // The nodes of `names` in `parent` with their kept probes, each made
    // when new and its lookup counted, and the probes of a listing stored
    // with the lookups of its gone names given back: each under one lock.
    // Taken name by name, the lock cost more than the probes in a folder
    // listing, whose names several threads probe at once (du -s over 10,000
    // files on a new mount, files below in memory: 0.24-0.25 s with about
    // 9,000 context switches in the daemon, 0.13-0.19 s with 1,400).
    std::vector<Listed> lookUpAll(Id parent, const std::vector<std::string>& names);
    void settle(const std::vector<Listed>& listed);

    // Whether the file's logical contents may have changed since the last
    // open of `id` (size or modification time differ): the kernel's cache
    // of them must then be dropped. Records the new pair.
    bool contentsChanged(Id id, const platform::FileStat& view);

    // The nodes the kernel knows the inode (dev, ino) by, as their kept
    // probes last saw it: each name of a file with several is a node of
    // its own, with its own attributes in the kernel.
    std::vector<Id> nodesOf(dev_t dev, ino_t ino) const;
    // The other nodes of the inode `id`'s kept probe was taken of.
    std::vector<Id> otherNames(Id id) const;

    // The security attributes the kernel asks for at every write (the
    // capability, to clear it) and in every long listing (the label), known
    // absent from a node's inode until forgotten: by the watch, as the
    // kernel's attributes are dropped, or by a change through the mount.
    enum class Absent : std::uint8_t { none = 0, capability = 1, label = 2 };
    // Whether `which` is known absent from `id`; `generation` for noteAbsent.
    bool knownAbsent(Id id, Absent which, std::uint64_t& generation) const;
    // Notes `which` absent from `id`, unless forgotten since `generation` was read.
    void noteAbsent(Id id, Absent which, std::uint64_t generation);
    void forgetAbsent(Id id);
    void forgetAllAbsent();

    std::size_t size() const;

    // The node of `name` in `parent`, if the kernel knows one (no lookup counted).
    std::optional<Id> find(Id parent, const std::string& name) const;
    // Every named node with its folder and name.
    struct Named {
        Id id = 0;
        Id parent = 0;
        std::string name;
    };
    std::vector<Named> named() const;

private:
    struct Node {
        Id parent = 0;
        std::string name;
        bool named = true;
        std::uint64_t lookups = 0;
        std::uint64_t children = 0;  // nodes whose parent this is
        std::optional<Probe> probe;
        std::int64_t openedSize = -1;
        timespec openedMtime{};
        std::uint8_t absent = 0;  // Absent bits
        std::uint64_t absentGeneration = 0;  // grows at each forgetting
    };
    using Key = std::pair<Id, std::string>;
    struct Inode {
        dev_t dev = 0;
        ino_t ino = 0;
        bool operator==(const Inode&) const = default;
    };
    struct InodeHash {
        std::size_t operator()(const Inode& inode) const { return std::hash<ino_t>()(inode.ino) ^ inode.dev; }
    };

    Id lookUpLocked(Id parent, const std::string& name);
    void forgetLocked(Id id, std::uint64_t count);
    void unname(Id id, Node& node);
    void dropIfUnused(Id id);
    bool buildPath(Id id, std::string& out) const;
    void setProbe(Id id, Node& node, const Probe& probe);
    void unindex(Id id, const Node& node);

    mutable std::mutex mutex_;
    std::unordered_map<Id, Node> nodes_;
    std::map<Key, Id> byName_;
    std::unordered_map<Inode, std::vector<Id>, InodeHash> byInode_;  // by their probes
    Id nextId_ = rootId + 1;
};

}  // namespace kelvane::fs
