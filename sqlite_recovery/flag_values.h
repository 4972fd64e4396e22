// The values rows tell apart loosely: NULL and the small integers an update
// flips. Shared by the keys that group carved records and the comparisons
// that then tell whether two of them are one row.
#pragma once

#include "sqlite_recovery/sqlite_recovery.h"

namespace fennaro::deep {

// NULL and the integers -1, 0 and 1 are flags an update flips (read, seen,
// status, is_primary...): two records that differ only there are one row.
inline bool isFlag(const Value& v) {
    return v.kind == Value::Kind::Null ||
           (v.kind == Value::Kind::Integer && v.integer >= -1 && v.integer <= 1);
}

} // namespace fennaro::deep
