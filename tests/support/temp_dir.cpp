#include "tests/support/temp_dir.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

TempDir::TempDir() {
    char tmpl[] = "/tmp/kelvane-test-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    prefix_ = std::string(tmpl) + "/";
}

static int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    chmod(path, 0700); // tests take permissions away; give them back to delete
    return remove(path);
}

TempDir::~TempDir() {
    chmod(prefix_.c_str(), 0700);
    nftw(prefix_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::vector<unsigned char> ReadBytes(const std::string &path) {
    std::vector<unsigned char> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

std::string ReadText(const std::string &path) {
    std::vector<unsigned char> b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

void WriteBytes(const std::string &path, const std::vector<unsigned char> &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) abort();
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

bool FileExists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
}
