// Reading the instrument's replies and the caller's resource lists; pure text functions, safe on any input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tevra::visa {

// The leading decimal integer of text[0..length) as atoi reads it (blanks, an optional sign, digits;
// 0 when there are none), clamped to the int32_t range.
int32_t leadingInteger(const char* text, size_t length);

// Turns an error-queue reply of length bytes in buffer (capacity bytes) into its message: the characters
// between the first double quote and the next one (or the end), else the whole reply, without a line end;
// always terminated within capacity.
void extractErrorMessage(char* buffer, size_t length, size_t capacity);

// Field index (from 0) of a ';'-separated list into out (capacity bytes, always terminated). A missing
// list, or one with fewer fields, gives an empty text. Returns false when the field did not fit.
bool getListField(const char* list, int32_t index, char* out, size_t capacity);

// True when a name can stand inside a quoted SCPI string parameter: no double quote, no control
// character, no ';' that a careless parser could take as the end of the command.
bool isSafeScpiName(const char* name);

}  // namespace tevra::visa
