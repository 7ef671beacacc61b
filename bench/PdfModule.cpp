#include "PdfModule.h"

#include "PdfPlugin.h"

#include <dlfcn.h>

namespace zintrel {

namespace {

std::string loaderError()
{
    const char* reason = ::dlerror();
    return reason ? reason : "the module does not load";
}

} // namespace

PdfModule::~PdfModule()
{
    if (m_stop)
        m_stop();
}

std::filesystem::path PdfModule::besideProgram()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path(kPdfPluginName) : self.parent_path() / kPdfPluginName;
}

const OutputMaker* PdfModule::start(const std::vector<std::filesystem::path>& places, int argc, char** argv,
                                    std::string& error)
{
    void* handle = nullptr;
    error = "no " + std::string(kPdfPluginName);
    for (const auto& place : places) {
        if (!std::filesystem::exists(place))
            continue;
        if ((handle = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL)))
            break;
        error = loaderError();
    }
    if (!handle)
        return nullptr;
    auto* start = reinterpret_cast<decltype(&zintrelStartPdf)>(::dlsym(handle, kPdfPluginStart));
    auto* stop = reinterpret_cast<decltype(&zintrelStopPdf)>(::dlsym(handle, kPdfPluginStop));
    if (!start || !stop) {
        error = loaderError();
        return nullptr;
    }
    m_stop = stop;
    return start(argc, argv);
}

} // namespace zintrel
