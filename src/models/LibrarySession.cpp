#include "models/LibrarySession.h"

namespace {

LibrarySession& Storage()
{
    static LibrarySession session;
    return session;
}

}  // namespace

const LibrarySession& LibrarySession::Current()
{
    return Storage();
}

void LibrarySession::SetCurrent(const LibrarySession& session)
{
    Storage() = session;
}
