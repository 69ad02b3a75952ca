/* Windows-1252, the ANSI code page every name and text in a package is
 * stored in, converted to and from the UTF-8 the tool speaks. */
#ifndef QUORBELL_WIN1252_H
#define QUORBELL_WIN1252_H

#include <optional>
#include <string>

/* The text in Windows-1252, or nothing when it is not valid UTF-8 or holds a
 * character the code page lacks; `badCharacter` then describes the first
 * offender ("U+4E2D", "invalid UTF-8 at byte 3"). */
std::optional<std::string> utf8ToWin1252(const std::string &utf8, std::string *badCharacter = nullptr);

/* Every byte as its character; the five bytes 1252 leaves undefined become
 * U+FFFD, so the result is always valid UTF-8. */
std::string win1252ToUtf8(const std::string &ansi);

/* Whether the byte is one of those five (0x81, 0x8D, 0x8F, 0x90, 0x9D). */
bool isUndefinedInWin1252(unsigned char byte);

#endif
