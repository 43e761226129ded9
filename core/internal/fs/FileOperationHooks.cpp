#include "core/internal/fs/FileOperationHooks.h"

#include <atomic>

namespace {

FileOperationHooks plainOperations;
std::atomic<FileOperationHooks *> installed{nullptr};

} // namespace

void FileOperationHooks::install(FileOperationHooks *hooks)
{
    installed = hooks;
}

FileOperationHooks &FileOperationHooks::current()
{
    FileOperationHooks *hooks = installed;
    return hooks ? *hooks : plainOperations;
}
