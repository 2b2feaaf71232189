// Turns plain text into HTML with links: addresses of web sites and mail
// boxes become anchors, everything else (white space, markup already
// present) is copied as it stands.
#pragma once

#include <string>

// Builds out (outSize bytes, terminator included; cut when it would not fit)
// from the first length bytes of text. Words are separated by white space,
// '<' and '>'; a word holding '@' with a '.' behind it becomes a mailto link,
// one beginning "http://" or "https://" a link to itself, one beginning
// "www" or containing ".com", ".edu" or ".org" a link to "http://" + word;
// words beginning "href" and all others are copied. Matches ignore case.
void ParseForHTML(const char* text, long length, char* out, long outSize);

// The same without a size limit.
std::string ParseForHTML(const std::string& text);
