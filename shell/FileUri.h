// Local file URIs as file managers hand them over ("file:///a%20b.mp3").
#pragma once

#include <string>

namespace shell {

// The path of a file URI: "file://" with an empty host or "localhost", then
// an absolute path whose %XX escapes become the bytes they stand for. False
// for any other URI or a malformed escape.
bool PathFromFileUri(const std::string& uri, std::string* path);

}  // namespace shell
