// File names between the locale's encoding (UTF-8 on the systems Tarn runs on), code page 936 and UTF-8.
#include <iconv.h>

#include <string>

#include "os/files.h"

namespace {
// The whole text converted, or nothing when iconv cannot take every byte.
bool convert(const char* to, const char* from, const std::string& text, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buffer(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* put = &buffer[0];
    size_t outLeft = buffer.size();
    size_t done = iconv(cd, &in, &inLeft, &put, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1) || inLeft != 0) return false;
    buffer.resize(buffer.size() - outLeft);
    out = buffer;
    return true;
}
}  // namespace

bool osToCodePage936(const std::string& local, std::string& stored) { return convert("CP936", "UTF-8", local, stored); }
bool osFromCodePage936(const std::string& stored, std::string& local) { return convert("UTF-8", "CP936", stored, local); }
bool osFromUtf8(const std::string& utf8, std::string& local) {
    local = utf8;
    return true;
}

bool osToUtf8(const std::string& local, std::string& utf8) {
    utf8 = local;
    return true;
}
