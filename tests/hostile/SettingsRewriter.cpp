// settings_rewriter FOLDER: saves FOLDER/Quillmo.ini generation after
// generation until it is killed, continuing from the generation it finds.
// Prints "ready" once the first generation of this run is on disk.
#include "SettingsRewriter.h"

#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglManage.h"
#include "platform/system/System.h"

#include <cstdio>
#include <exception>

namespace {

void saveFiller(const std::string& path, int generation)
{
    platform::IniFile ini(path);
    for (int s = 0; s < hostile::kFillerSections; ++s) {
        for (int k = 0; k < hostile::kFillerKeys; ++k)
            ini.WriteString(hostile::fillerSection(s), hostile::fillerKey(k), hostile::fillerValue(generation, s, k));
    }
    ini.WriteInteger(hostile::kGenerationSection, hostile::kGenerationKey, generation);
    ini.UpdateFile();
}

void saveComponents(int generation)
{
    TGLLighter* lighter = TGLLighter::Create();
    lighter->SettingsValue = generation;
    const auto g = static_cast<float>(generation);
    for (TGLLight& light : lighter->Lights)
        light.Position = {g, g, g, 1.0f};
    lighter->Free();

    TGLManager* manager = TGLManager::Create();
    manager->SettingsValue = generation;
    manager->FAxisLength = g;
    manager->Free();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: settings_rewriter FOLDER\n");
        return 2;
    }
    try {
        platform::SetModuleFileName(std::string(argv[1]) + "/Quillmo");
        const std::string path = std::string(argv[1]) + "/Quillmo.ini";
        int generation = platform::IniFile(path).ReadInteger(hostile::kGenerationSection, hostile::kGenerationKey, 0);
        for (bool first = true;; first = false) {
            ++generation;
            saveFiller(path, generation);
            saveComponents(generation);
            if (first) {
                std::puts("ready");
                std::fflush(stdout);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "settings_rewriter: %s\n", error.what());
        return 1;
    }
}
