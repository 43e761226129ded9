#pragma once

// What kadd returns to the shell; scripts branch on these, so they never change meaning.
enum ExitStatus
{
    ExitCreated = 0,
    ExitDone = 0, // list, check, passwd, set, remove
    ExitDuplicate = 1,
    ExitNoSuchAccount = 1, // check, passwd, set, remove
    ExitRefused = 2,
    ExitFileError = 3,
    // verify: the file holds malformed lines or a name twice. It shares 3 with a file error on
    // purpose: to a script watching the file, both mean that an operator must look at it.
    ExitUnsound = 3,
    ExitNotYetSafe = 4,  // changed, but the last flush to the disk failed
    ExitUsage = 64,      // EX_USAGE of sysexits.h
    ExitOutputLost = 74, // EX_IOERR: done, but what it printed did not all reach standard output
};
