#pragma once

#include <QLockFile>
#include <QString>

// One running copy per user: a lock file in the user's runtime (or temporary) folder. The lock of a
// copy that crashed is taken over; a lock held by a live copy is not, however old it is.
class SingleInstance
{
public:
    explicit SingleInstance(const QString& lockPath = defaultLockPath());
    // True when this copy holds the lock (and keeps it for its lifetime).
    bool acquire();

    static QString defaultLockPath();

private:
    QLockFile lock_;
};
