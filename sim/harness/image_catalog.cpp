#include "harness/image_catalog.h"

namespace sim {

namespace {

bool endsWith(const std::string& s, const char* suffix) {
    const std::string tail(suffix);
    return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isPath(const std::string& image) {
    return image.find('/') != std::string::npos || endsWith(image, ".so") ||
           endsWith(image, ".elf");
}

} // namespace

void ImageCatalog::addDirectory(const std::string& directory,
                                const std::vector<std::string>& names) {
    for (const std::string& name : names)
        paths_[name] = directory + "/" + name + ".so";
}

std::string ImageCatalog::find(const std::string& image) const {
    if (isPath(image))
        return image;
    auto it = paths_.find(image);
    return it == paths_.end() ? std::string() : it->second;
}

std::string ImageCatalog::nameOf(const std::string& image) {
    if (!isPath(image))
        return image;
    std::size_t slash = image.rfind('/');
    std::string file = slash == std::string::npos ? image : image.substr(slash + 1);
    std::size_t dot = file.find('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::vector<std::string> ImageCatalog::names() const {
    std::vector<std::string> names;
    for (const auto& p : paths_)
        names.push_back(p.first);
    return names;
}

} // namespace sim
