// The description strings a host must read back, as Shift_JIS bytes.
#pragma once

#include <string>

// "「F&C Canvas」用 MCA Plug-in ver 1.00"
inline const std::string kEntry1 = "\x81\x75" "F&C Canvas" "\x81\x76" "\x97\x70" " MCA Plug-in ver 1.00";
