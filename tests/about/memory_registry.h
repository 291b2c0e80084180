#pragma once

// A registry held in memory that behaves like the platform's: keys and value
// names match without regard to case, a value longer than the caller's
// buffer fails with kErrorMoreData, and HKEY_LOCAL_MACHINE can be made to
// refuse write rights as it does for an ordinary user. It records every call
// so tests can tell which values were read and that every key was closed.

#include "registry.h"

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
        std::string value;
        std::uint32_t sizeIn;
        bool bufferZeroed;
    };

    // Refuse keys opened with write rights, as HKEY_LOCAL_MACHINE does for
    // an ordinary user.
    bool refuseWriteRights = false;
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

    std::vector<OpenCall> opens;
    std::vector<QueryCall> queries;
    int openKeys = 0; // opened and not yet closed

    bool WasQueried(const std::string &key) const
    {
        for (const auto &q : queries)
            if (Lower(q.key) == Lower(key))
                return true;
        return false;
    }
    bool WasOpened(const std::string &key) const
    {
        for (const auto &o : opens)
            if (Lower(o.key) == Lower(key))
                return true;
        return false;
    }

    long OpenKey(sysinfo::RegHandle root, const std::string &subKey, std::uint32_t options,
                 std::uint32_t access, sysinfo::RegHandle &key) override
    {
        opens.push_back(OpenCall{root, subKey, options, access});
        if (root != sysinfo::kHkeyLocalMachine || keys_.count(Lower(subKey)) == 0)
            return sysinfo::kErrorFileNotFound;
        if (refuseWriteRights && (access & sysinfo::kKeyWriteRights))
            return sysinfo::kErrorAccessDenied;
        handles_.push_back(Lower(subKey));
        key = handles_.size() + 100;
        ++openKeys;
        return sysinfo::kErrorSuccess;
    }

    long QueryValue(sysinfo::RegHandle key, const std::string &valueName, std::uint32_t &type,
                    unsigned char *data, std::uint32_t &size) override
    {
        const std::string &path = handles_.at(key - 101);
        bool zeroed = true;
        for (std::uint32_t i = 0; i < size; ++i)
            zeroed = zeroed && data[i] == 0;
        queries.push_back(QueryCall{path, valueName, size, zeroed});
        if (!throwOnQueryOf.empty() && Lower(valueName) == Lower(throwOnQueryOf))
            throw std::runtime_error("the registry broke down");

        const auto &values = keys_.at(path);
        const auto found = values.find(Lower(valueName));
        if (found == values.end())
            return sysinfo::kErrorFileNotFound;
        const Stored &stored = found->second;
        type = stored.type;
        const auto needed = static_cast<std::uint32_t>(stored.bytes.size());
        if (needed > size) {
            size = needed;
            return sysinfo::kErrorMoreData;
        }
        std::memcpy(data, stored.bytes.data(), needed);
        size = needed;
        return sysinfo::kErrorSuccess;
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
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        return s;
    }

    std::map<std::string, std::map<std::string, Stored>> keys_;
    std::vector<std::string> handles_;
};
