// A GPU's sysfs files laid out in a folder, as its driver lays them, for tests.
#pragma once

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Lays "name=text|name=text..." under card, folders made; H/ is the device's hwmon folder and
// "driver=X" the link device/driver to X.
inline void Lay(const std::string &card, const std::string &files) {
    std::istringstream in(files);
    for (std::string item; std::getline(in, item, '|');) {
        std::string name = item.substr(0, item.find('=')), text = item.substr(name.size() + 1);
        std::string path = card + "/" +
                           (name == "driver"      ? "device/driver"
                            : name.rfind("H/", 0) ? name
                                                  : "device/hwmon/hwmon3/" + name.substr(2));
        for (size_t at = card.rfind('/'); (at = path.find('/', at + 1)) != std::string::npos;)
            mkdir(path.substr(0, at).c_str(), 0755);
        if (name == "driver")
            ASSERT_EQ(0, symlink(text.c_str(), path.c_str()));
        else
            WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
    }
}
