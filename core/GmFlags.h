#pragma once

#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <optional>

struct GmFlag
{
    qint32 value;             // a distinct power of two
    const char *checkBoxName; // the check box showing it
    const char *caption;      // as the GM selection window shows it
    const char *name;         // the privilege, without its value
};

// The sixteen privileges in the order used everywhere: Select ALL, Clear All and the sum.
inline constexpr std::array<GmFlag, 16> gmFlags{{
    {1, "chkBroadcast", "BROADCAST-1", "BROADCAST"},
    {2, "chkItemSummon", "ITEMSUMMON-2", "ITEMSUMMON"},
    {4, "chkMonsterSummon", "MONSTERSUMMON-4", "MONSTERSUMMON"},
    {8, "chkChangeStatSkill", "CHANGESTATSKILL-8", "CHANGESTATSKILL"},
    {16, "chkChangeOption", "CHANGEOPTION-16", "CHANGEOPTION"},
    {32, "chkSaveReturn", "SAVERETURN-32", "SAVERETURN"},
    {64, "chkChangeLevel", "CHANGELEVEL-64", "CHANGELEVEL"},
    {128, "chkWarp", "WARP-128", "WARP"},
    {256, "chkWhois", "WHOIS-256", "WHOIS"},
    {512, "chkGotoSumBan", "GOTOSUMMONBANISH - 512", "GOTOSUMMONBANISH"},
    {1024, "chkKilledAlive", "KILLDIEALIVE-1024", "KILLDIEALIVE"},
    {2048, "chkChangeJob", "CHANGEJOB-2048", "CHANGEJOB"},
    {4096, "chkChangeColorStyle", "CHANGECOLORSTYLE - 4096", "CHANGECOLORSTYLE"},
    {8192, "chkAutoRawUnit", "AUTORAWUNIT-8192", "AUTORAWUNIT"},
    {16384, "chkRefine", "REFINE-16384", "REFINE"},
    {32768, "chkWorld", "CHANGEWORLD-32768", "CHANGEWORLD"},
}};

inline constexpr qint32 allGmFlags = 65535;

// A GM flag total written as a decimal number from 0 to 65535, or as flag names joined by '+'
// without regard to case ("WARP+WHOIS" is 384). Anything else has no value.
std::optional<qint32> parseGmFlags(QStringView text);

// Flags to give and to take away, whatever the account holds.
struct GmFlagChange
{
    qint32 add = 0;
    qint32 clear = 0;
};

// A change written as flag names, each after '+' (give) or '-' (take away), without regard to
// case: "+WARP-WHOIS". Only a text that starts with a sign is one, so "BROADCAST+WARP" stays a
// total. An unknown or empty name, or a flag both given and taken, has no value.
std::optional<GmFlagChange> parseGmFlagChange(QStringView text);

// The names of the flags a total holds, in table order.
QStringList gmFlagNames(qint32 total);
