// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypedFailure.h"

#include <string>

namespace kelvane::store {

// Every failure of the store: opening, migrating, fetching, saving. The case
// is the code; its payload the full description (what(), shown to the user
// after "詳細: " and written to the log) and the SQLite result code.
class StoreError : public platform::TypedError {
public:
    enum class Code {
        cannotOpen,      // the file or its folder cannot be read or created
        notAStore,       // the file is not a Kelvane store (garbage, or another program's database)
        newerVersion,    // written by a newer Kelvane; this one does not know its schema
        damaged,         // a Kelvane store whose version record or tables are missing or wrong
        migrationFailed, // an older store could not be brought up to date (it is left as it was)
        fetchFailed,
        saveFailed,      // the save was rolled back; nothing of it reached the file
        readOnly,        // a save on a read-only context that had changes (rolled back)
        misuse,          // a model used with the wrong context, or a relationship to an unsaved record
    };

    StoreError(Code code, std::string description, int sqliteCode = 0);

    Code code() const { return code_; }
    // The SQLite result code behind the failure (extended), or 0.
    int sqliteCode() const { return sqliteCode_; }
    // The disk (or the user's quota) had no room for it.
    bool isDiskFull() const;

    bool operator==(const StoreError& other) const
    {
        return code_ == other.code_ && sqliteCode_ == other.sqliteCode_ && description() == other.description();
    }

private:
    Code code_;
    int sqliteCode_;
};

}  // namespace kelvane::store
