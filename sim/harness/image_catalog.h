// Where the images' modules are: each image name (the images of the boards'
// descriptions, world/board_description.h) maps to the shared object of its
// host build. Tools and tests fill it from
// what their build knows.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sim {

class ImageCatalog {
public:
    void add(const std::string& name, const std::string& path) { paths_[name] = path; }
    // Every image found as <name>.so in a directory (the build's image
    // directory, or one given by the user); later entries win.
    void addDirectory(const std::string& directory, const std::vector<std::string>& names);

    // The module of `image`: a known name, or a path to a module or a real
    // binary itself (anything with a '/' or ending in ".so" or ".elf").
    // Empty when unknown.
    std::string find(const std::string& image) const;
    // The image name for a board (the file's stem for a path).
    static std::string nameOf(const std::string& image);

    std::vector<std::string> names() const;

private:
    std::map<std::string, std::string> paths_;
};

} // namespace sim
