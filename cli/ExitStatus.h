#pragma once

// What kadd returns to the shell; scripts branch on these, so they never change meaning.
enum ExitStatus
{
    ExitCreated = 0,
    ExitDuplicate = 1,
    ExitRefused = 2,
    ExitFileError = 3,
    ExitUsage = 64, // EX_USAGE of sysexits.h
};
