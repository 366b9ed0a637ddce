#pragma once
// The settings-backed singleton pattern shared by every component: one live
// object per class, an 8-bit count of outstanding creations, identity strings,
// settings read from the settings file when the object is made and written
// back when the last reference is freed.
#include "platform/system/IniFile.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

// The unit registry is owned by the batch runner; components reach it through
// this seam so that neither side includes the other. add answers whether the
// name was new, so that a component whose creation fails can take back the
// entry its own creation added and no other.
struct UnitRegistrar {
    bool (*add)(const std::string& unitName);
    void (*remove)(const std::string& unitName);
};
// Installs the registry's entry points; with none, registrations are ignored.
void SetUnitRegistrar(const UnitRegistrar* registrar);
// Records a unit name in the registry; true when the registry did not hold it.
bool RegisterUnitName(const std::string& unitName);
// Takes a unit name back out of the registry.
void UnregisterUnitName(const std::string& unitName);

// The settings file of the executable at modulePath: its path with the
// extension ".ini" when its folder can be written, else quillmo/quillmo.ini
// in the user's configuration folder (unless that folder is unknown, "").
// Throws nothing.
std::string SettingsPathFor(const std::string& modulePath, bool folderWritable, const std::string& userConfigFolder);
// The settings file of the running executable, as SettingsPathFor chooses it.
std::string SettingsPath();
// Read-only settings: components still read the settings file when they are
// made but never write it when they go. The tools that draw pictures run this
// way, so that a run of theirs leaves the viewer's settings as it found them.
void SetSettingsReadOnly(bool readOnly);
// Whether components leave the settings file unwritten.
bool SettingsReadOnly();

// Makes the folder of a settings file that lives in the user's configuration
// folder, as a save needs it the first time; the executable's own folder is
// never made. Throws nothing: a folder that cannot be made shows as the
// save's own "Unable to write to" error.
void PrepareSettingsFolder(const std::string& settingsPath);
// Executable file name without folder and extension.
std::string ExecutableAppName();
// Executable folder with a trailing "/".
std::string ExecutableAppPath();

class TComponentBase {
public:
    virtual ~TComponentBase() = default;

    std::string ModuleName;
    std::string UnitName;
    std::string AppName;
    std::string AppPath;
    int32_t SettingsValue = 0;

    virtual const char* ClassName() const = 0;
    // "m" followed by the class name without its leading "T".
    std::string CommonKey() const;

protected:
    virtual const char* DeclaringUnit() const = 0;
    virtual bool RegistersUnit() const = 0;

    // Creation steps, in this order; release steps after them.
    virtual void PreCreateHook() {}
    virtual void InitIdentity();
    virtual void SettingsLoad();
    virtual void PostCreateHook() {}
    virtual void SettingsSave();
    virtual void CleanupHook() {}

    // The class's own defaults, set at the end of InitIdentity.
    virtual void InitDefaults() {}
    // The class's own keys, read after the common key (only when the file exists)
    // and written after it.
    virtual void LoadKeys(const platform::IniFile&) {}
    virtual void SaveKeys(platform::IniFile&) {}

    // Runs the creation steps on a fresh object.
    void RunCreateSteps();
    // Takes back what failed creation steps left outside the object: the
    // registry entry that InitIdentity added, if it added one.
    void UndoCreateSteps();
    // Runs the release steps, saving only while settings are writable; an
    // error while saving is rethrown after cleanup.
    void RunReleaseSteps();

private:
    bool addedUnitName_ = false;
};

template <class T>
class TComponent : public TComponentBase {
public:
    // Returns the class's one object, making it on the first call; every call
    // adds one to the count of outstanding creations. Rethrows what a creation
    // step throws, and then no object exists and the count is as before.
    static T* Create()
    {
        if (!storage()) {
            // The object is the instance while its creation steps run; a step
            // that throws takes it out again, or a half-made object would stay
            // with no creation counted that could ever release it.
            const uint8_t countBefore = refCount();
            storage() = std::make_unique<T>();
            try {
                storage()->RunCreateSteps();
            } catch (...) {
                storage()->UndoCreateSteps();
                storage().reset();
                refCount() = countBefore;
                throw;
            }
        }
        ++refCount();
        return storage().get();
    }

    // Takes one from the count; at 0 saves the settings (unless they are
    // read-only), cleans up and releases the object. Throws EInOutError when
    // the settings cannot be written (the object is released all the same).
    void Free()
    {
        if (refCount() == 0 || --refCount() != 0)
            return;
        std::unique_ptr<T> object = std::move(storage());
        object->RunReleaseSteps();
    }

    static T* Instance() { return storage().get(); }
    static uint8_t RefCount() { return refCount(); }

    const char* ClassName() const override { return T::kClassName; }

protected:
    const char* DeclaringUnit() const override { return T::kUnitName; }
    bool RegistersUnit() const override { return T::kRegistersUnit; }

private:
    static std::unique_ptr<T>& storage()
    {
        static std::unique_ptr<T> object;
        return object;
    }
    static uint8_t& refCount()
    {
        static uint8_t count = 0;
        return count;
    }
};
