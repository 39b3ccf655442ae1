// The completion chime over libcanberra.
#include "desktop_qt/completion_sound.h"

#include <canberra.h>
#include <dlfcn.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include "version.h"

namespace qm {

namespace {

// The id under which the chime plays in our context (one sound at a time).
constexpr uint32_t kChimeId = 1;

// The few GIO calls that read one GNOME setting. GIO is loaded at run time
// rather than linked: the program needs no GLib headers to build, and a
// system without GIO simply has no such setting.
struct GioSettingsApi {
    using SourceGetDefault = void* (*)();
    using SourceLookup = void* (*)(void*, const char*, int);
    using SchemaHasKey = int (*)(void*, const char*);
    using SchemaUnref = void (*)(void*);
    using SettingsNew = void* (*)(const char*);
    using GetBoolean = int (*)(void*, const char*);
    using ObjectUnref = void (*)(void*);

    SourceGetDefault sourceGetDefault = nullptr;
    SourceLookup sourceLookup = nullptr;
    SchemaHasKey schemaHasKey = nullptr;
    SchemaUnref schemaUnref = nullptr;
    SettingsNew settingsNew = nullptr;
    GetBoolean getBoolean = nullptr;
    ObjectUnref objectUnref = nullptr;
    bool loaded = false;

    GioSettingsApi() {
        // Kept loaded for the life of the process, as GLib's types cannot be
        // unloaded once registered.
        void* gio = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!gio) return;
        sourceGetDefault = reinterpret_cast<SourceGetDefault>(dlsym(gio, "g_settings_schema_source_get_default"));
        sourceLookup = reinterpret_cast<SourceLookup>(dlsym(gio, "g_settings_schema_source_lookup"));
        schemaHasKey = reinterpret_cast<SchemaHasKey>(dlsym(gio, "g_settings_schema_has_key"));
        schemaUnref = reinterpret_cast<SchemaUnref>(dlsym(gio, "g_settings_schema_unref"));
        settingsNew = reinterpret_cast<SettingsNew>(dlsym(gio, "g_settings_new"));
        getBoolean = reinterpret_cast<GetBoolean>(dlsym(gio, "g_settings_get_boolean"));
        objectUnref = reinterpret_cast<ObjectUnref>(dlsym(gio, "g_object_unref"));
        loaded = sourceGetDefault && sourceLookup && schemaHasKey && schemaUnref && settingsNew && getBoolean &&
                 objectUnref;
    }
};

constexpr char kSoundSchema[] = "org.gnome.desktop.sound";
constexpr char kEventSoundsKey[] = "event-sounds";

}  // namespace

void CQmCompletionSound::ContextDeleter::operator()(ca_context* context) const { ca_context_destroy(context); }

CQmCompletionSound::CQmCompletionSound(std::u16string soundFile)
    : soundFile_(soundFile.empty() ? DefaultSoundFile() : std::move(soundFile)) {}

CQmCompletionSound::~CQmCompletionSound() = default;

std::u16string CQmCompletionSound::DefaultSoundFile() {
    const QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty()) return {};
    return QDir::cleanPath(dir + QStringLiteral("/../share/quorvia/complete.wav")).toStdU16String();
}

bool CQmCompletionSound::DesktopEventSoundsEnabled() {
    static const GioSettingsApi gio;
    if (!gio.loaded) return true;
    void* source = gio.sourceGetDefault();
    if (!source) return true;
    // g_settings_new aborts on an unknown schema, so its presence (and the
    // key's) is checked first.
    void* schema = gio.sourceLookup(source, kSoundSchema, 1);
    if (!schema) return true;
    const bool hasKey = gio.schemaHasKey(schema, kEventSoundsKey) != 0;
    gio.schemaUnref(schema);
    if (!hasKey) return true;
    void* settings = gio.settingsNew(kSoundSchema);
    if (!settings) return true;
    const bool enabled = gio.getBoolean(settings, kEventSoundsKey) != 0;
    gio.objectUnref(settings);
    return enabled;
}

bool CQmCompletionSound::Play() {
    if (soundFile_.empty()) return false;
    const QString file = QString::fromStdU16String(soundFile_);
    if (!QFileInfo(file).isFile()) return false;

    if (!context_) {
        if (contextFailed_) return false;
        ca_context* raw = nullptr;
        if (ca_context_create(&raw) != CA_SUCCESS || !raw) {
            contextFailed_ = true;
            return false;
        }
        context_.reset(raw);
        // The names the sound server shows in its list of streams and
        // applications; failing to set them does not keep the chime silent.
        const QByteArray name = QString::fromUtf16(QM_PRODUCT_NAME_U16).toUtf8();
        ca_context_change_props(context_.get(), CA_PROP_APPLICATION_NAME, name.constData(),
                                CA_PROP_APPLICATION_ID, "quorvia", CA_PROP_APPLICATION_VERSION, QM_VERSION_TEXT,
                                CA_PROP_APPLICATION_ICON_NAME, "quorvia", nullptr);
    }

    // libcanberra refuses to play (CA_ERROR_DISABLED) while its enable
    // property is "0"; the setting is read anew each time, as the user may
    // change it between runs.
    ca_context_change_props(context_.get(), CA_PROP_CANBERRA_ENABLE, DesktopEventSoundsEnabled() ? "1" : "0",
                            nullptr);

    const QByteArray path = QFile::encodeName(file);
    // "volatile": the sample is played from the file and not kept in the
    // server's cache, since it is heard once per run at most.
    const int result = ca_context_play(context_.get(), kChimeId, CA_PROP_EVENT_ID, "complete",
                                       CA_PROP_MEDIA_FILENAME, path.constData(), CA_PROP_MEDIA_ROLE, "event",
                                       CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr);
    return result == CA_SUCCESS;
}

}  // namespace qm
