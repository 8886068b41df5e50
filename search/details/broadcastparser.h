#pragma once

#include "search/details/internal.h"

#include <cstddef>

#include "search/deviceinfo.h"
#include "search/searchrequest.h"

// Fills type (byte 1, unsigned) and the id, host, factory (vendor) and product fields of record
// from a device's 148-byte answer. The key=value text ends at the first zero byte of info or at
// the end of the answer, whichever comes first. The other fields are left as they are.
// Always returns 1.
int ParseBroadcastInfo(const SearchRequest& answer, deviceinfo& record);

// Copies the value of the first occurrence of key (keyLen characters, its '=' included)
// anywhere in the textLength characters of text into dest, at most maxLen characters and a
// terminating zero (dest holds at most maxLen + 1 bytes). The value runs to the next '&' or to
// the end of the text. The match need not begin a pair: "id=" also matches inside "uuid=".
// Returns 1 when the key is present; 0, with dest untouched, when it is absent.
int FindKeyValue(const char* text, std::size_t textLength, char* dest, int maxLen, const char* key,
                 int keyLen);
