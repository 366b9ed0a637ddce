#pragma once
// The two sample characters of the model folder, Lara and Sarge: the window
// asks which one to load when it is made and shows it in the viewer's
// globals Player and Weapon.
#include "CharacterSet.h"

#include "platform/system/Dialogs.h"

#include <optional>

class ModelFolderCharacters : public CharacterSet {
public:
    // presetAnswer (kept by reference, owned by the window) answers the
    // start question instead of the box when it holds a value.
    explicit ModelFolderCharacters(const std::optional<platform::DialogAnswer>& presetAnswer)
        : presetAnswer_(presetAnswer)
    {
    }

    // Asks "Load Model Lara(Yes) or Sarge(No)." and loads the answer's
    // character with its weapon set. Throws what the loaders throw.
    void Open() override;
    // The characters stay until the unit ends.
    void Close() override {}
    void Draw(float seconds) override;
    void SetPose(uint32_t animation) override;
    std::string Title() const override { return {}; }
    SetChange HandleKey(uint16_t, platform::TShiftState) override { return SetChange::None; }
    SetChange Drop(const std::string&) override { return SetChange::None; }
    // The sample characters keep the window's own camera and overlay, and
    // take no pictures.
    void SetPaused(bool) override {}
    const TMD3Model* FramedModel(float) override { return nullptr; }
    std::vector<std::string> OverlayLines() const override { return {}; }
    void SaveView(int, int, const std::vector<uint8_t>&) override {}

private:
    const std::optional<platform::DialogAnswer>& presetAnswer_;
};
