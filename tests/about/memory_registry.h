#pragma once

// A registry held in memory that behaves like the platform's: keys and value
// names match without regard to case, and a value longer than the caller's
// buffer fails with kErrorMoreData. It records every call so tests can tell
// which keys were read and that every key was closed.

#include "registry.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

class MemoryRegistry : public sysinfo::Registry
{
public:
    struct OpenCall
    {
        sysinfo::RegHandle root;
        std::string key;
        std::uint32_t options;
        std::uint32_t access;
    };
    struct QueryCall
    {
        std::string key;
        std::uint32_t sizeIn;
        bool bufferZeroed;
    };
    std::vector<OpenCall> opens;
    std::vector<QueryCall> queries;
    int openKeys = 0; // opened and not yet closed

    // Throw from the query of this value name (a failure raised by a read).
    std::string throwOnQueryOf;

    void Set(const std::string &key, const std::string &value, std::uint32_t type,
             const std::string &bytes)
    {
        keys_[Lower(key)][Lower(value)] = Stored{type, bytes};
    }
    // A text value as the platform stores it, with its terminating zero.
    void SetText(const std::string &key, const std::string &value, const std::string &text)
    {
        Set(key, value, sysinfo::kRegSz, text + std::string(1, '\0'));
    }
    void AddKey(const std::string &key) { keys_[Lower(key)]; }

    bool WasOpened(const std::string &key) const { return Names(opens, key); }
    bool WasQueried(const std::string &key) const { return Names(queries, key); }

    long OpenKey(sysinfo::RegHandle root, const std::string &subKey, std::uint32_t options,
                 std::uint32_t access, sysinfo::RegHandle &key) override
    {
        opens.push_back(OpenCall{root, subKey, options, access});
        if (root != sysinfo::kHkeyLocalMachine || keys_.count(Lower(subKey)) == 0)
            return sysinfo::kErrorFileNotFound;
        handles_.push_back(Lower(subKey));
        key = handles_.size() + 100;
        ++openKeys;
        return sysinfo::kErrorSuccess;
    }

    long QueryValue(sysinfo::RegHandle key, const std::string &valueName, std::uint32_t &type,
                    unsigned char *data, std::uint32_t &size) override
    {
        const std::string &path = handles_.at(key - 101);
        queries.push_back(QueryCall{
            path, size, std::all_of(data, data + size, [](unsigned char c) { return c == 0; })});
        if (!throwOnQueryOf.empty() && Lower(valueName) == Lower(throwOnQueryOf))
            throw std::runtime_error("the registry broke down");

        const auto &values = keys_.at(path);
        const auto found = values.find(Lower(valueName));
        if (found == values.end())
            return sysinfo::kErrorFileNotFound;
        type = found->second.type;
        const auto needed = static_cast<std::uint32_t>(found->second.bytes.size());
        const bool fits = needed <= size;
        if (fits)
            std::memcpy(data, found->second.bytes.data(), needed);
        size = needed;
        return fits ? sysinfo::kErrorSuccess : sysinfo::kErrorMoreData;
    }

    long CloseKey(sysinfo::RegHandle) override
    {
        --openKeys;
        return sysinfo::kErrorSuccess;
    }

private:
    struct Stored
    {
        std::uint32_t type;
        std::string bytes;
    };

    static std::string Lower(std::string s)
    {
        for (char &c : s)
            c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        return s;
    }
    template <typename Calls> static bool Names(const Calls &calls, const std::string &key)
    {
        return std::any_of(calls.begin(), calls.end(),
                           [&](const auto &call) { return Lower(call.key) == Lower(key); });
    }

    std::map<std::string, std::map<std::string, Stored>> keys_;
    std::vector<std::string> handles_;
};
