// The GNOME/GTK desktop proxy through GIO's GSettings: org.gnome.system.proxy (mode,
// ignore-hosts, use-same-proxy) and its http child (host, port). Chromium and every GNOME
// program follow it. The https, ftp and socks children stay as they are.

#include "TargetSettings.h"

#include <gio/gio.h>

#include <memory>
#include <string_view>

namespace desktop {

namespace {

constexpr const char* kProxySchema = "org.gnome.system.proxy";
constexpr const char* kHttpSchema = "org.gnome.system.proxy.http";

struct GnomeKey {
    const char* schema;
    const char* key;
};
// use-same-proxy is true by default, and then Chromium sends HTTPS to the HTTP proxy as
// well: it goes off, so that HTTPS keeps going direct.
constexpr GnomeKey kKeys[] = {{kProxySchema, "mode"},
                              {kProxySchema, "use-same-proxy"},
                              {kProxySchema, "ignore-hosts"},
                              {kHttpSchema, "host"},
                              {kHttpSchema, "port"}};

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct VariantUnref {
    void operator()(GVariant* value) const { g_variant_unref(value); }
};
struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
using SettingsPtr = std::unique_ptr<GSettings, GObjectUnref>;
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;
using SchemaPtr = std::unique_ptr<GSettingsSchema, SchemaUnref>;

std::string printed(GVariant* value)
{
    gchar* text = g_variant_print(value, TRUE);
    std::string out(text);
    g_free(text);
    return out;
}

// One schema's settings, with the schema itself for the keys' types.
class Schema {
public:
    explicit Schema(const char* id)
    {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        if (source == nullptr) {
            return;
        }
        m_schema.reset(g_settings_schema_source_lookup(source, id, TRUE));
        if (m_schema) {
            m_settings.reset(g_settings_new_full(m_schema.get(), nullptr, nullptr));
        }
    }

    bool found() const { return m_settings != nullptr; }
    GSettings* settings() const { return m_settings.get(); }
    bool hasKey(const char* key) const
    {
        return m_settings && g_settings_schema_has_key(m_schema.get(), key);
    }

    // A back end that forgets (no dconf installed) would take the writes and reach no
    // other program; so would dconf without a session bus (a login over ssh), which
    // keeps the writes in this process only.
    bool keepsWrites() const
    {
        gpointer backend = nullptr;
        g_object_get(m_settings.get(), "backend", &backend, nullptr);
        if (backend == nullptr) {
            return false;
        }
        const std::string type = G_OBJECT_TYPE_NAME(backend);
        g_object_unref(backend);
        if (type == "GMemorySettingsBackend" || type == "GNullSettingsBackend") {
            return false;
        }
        if (type == "DConfSettingsBackend") {
            GError* error = nullptr;
            GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
            if (bus == nullptr) {
                g_clear_error(&error);
                return false;
            }
            g_object_unref(bus);
        }
        return true;
    }

    std::optional<std::string> userValue(const char* key) const
    {
        VariantPtr value(g_settings_get_user_value(m_settings.get(), key));
        return value ? std::optional<std::string>(printed(value.get())) : std::nullopt;
    }

    VariantPtr parse(const char* key, const std::string& text) const
    {
        GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(m_schema.get(), key);
        VariantPtr value(g_variant_parse(g_settings_schema_key_get_value_type(schemaKey),
                                         text.c_str(), nullptr, nullptr, nullptr));
        const bool inRange = value && g_settings_schema_key_range_check(schemaKey, value.get());
        g_settings_schema_key_unref(schemaKey);
        return inRange ? std::move(value) : nullptr;
    }

    // Writes the value given as text; false when it cannot be read or stored.
    bool write(const char* key, const std::optional<std::string>& text) const
    {
        if (!g_settings_is_writable(m_settings.get(), key)) {
            return false;
        }
        if (!text) {
            g_settings_reset(m_settings.get(), key);
            return true;
        }
        VariantPtr value = parse(key, *text);
        return value && g_settings_set_value(m_settings.get(), key, value.get());
    }

private:
    SchemaPtr m_schema;
    SettingsPtr m_settings;
};

// What set writes into a key; ignore-hosts keeps the user's own direct hosts.
std::string wantedValue(const Schema& schema, const char* key, unsigned port)
{
    const std::string_view name = key;
    if (name == "mode") {
        return "'manual'";
    }
    if (name == "use-same-proxy") {
        return "false";
    }
    if (name == "host") {
        return "'127.0.0.1'";
    }
    if (name == "port") {
        return std::to_string(port);
    }
    gchar** hosts = g_settings_get_strv(schema.settings(), key);
    GStrvBuilder* builder = g_strv_builder_new();
    g_strv_builder_addv(builder, const_cast<const char**>(hosts));
    for (const char* host : DirectHosts) {
        if (!g_strv_contains(hosts, host)) {
            g_strv_builder_add(builder, host);
        }
    }
    g_strfreev(hosts);
    gchar** merged = g_strv_builder_end(builder);
    g_strv_builder_unref(builder);
    VariantPtr value(g_variant_ref_sink(g_variant_new_strv(merged, -1)));
    g_strfreev(merged);
    return printed(value.get());
}

class GnomeSettings : public TargetSettings {
public:
    GnomeSettings() : m_proxy(kProxySchema), m_http(kHttpSchema) {}

    bool detected() override { return m_proxy.found() && m_http.found() && m_proxy.keepsWrites(); }

    Result prepare(TargetRecord& record, unsigned port) override
    {
        for (const GnomeKey& key : kKeys) {
            const Schema& schema = schemaOf(key);
            if (!schema.hasKey(key.key)) {
                continue; // an older schema without it
            }
            SettingRecord* entry = find(record, key);
            if (entry == nullptr) {
                record.settings.push_back(
                    SettingRecord{key.schema, key.key, schema.userValue(key.key), std::nullopt});
                entry = &record.settings.back();
            }
            entry->written = wantedValue(schema, key.key, port);
        }
        return {};
    }

    Result apply(const TargetRecord& record) override
    {
        for (const SettingRecord& setting : record.settings) {
            const Schema& schema = schemaOf(setting);
            if (!schema.write(setting.key.c_str(), setting.written)) {
                g_settings_sync();
                return failed(refusedText(setting));
            }
        }
        g_settings_sync();
        return {};
    }

    Result restore(const TargetRecord& record) override
    {
        if (!detected()) {
            return failed("The GNOME desktop settings cannot be reached now (no schema "
                          "org.gnome.system.proxy, or no settings back end that keeps them): "
                          "they stay recorded in the journal.");
        }
        std::string problems;
        for (const SettingRecord& setting : record.settings) {
            const Schema& schema = schemaOf(setting);
            if (!schema.hasKey(setting.key.c_str())) {
                continue;
            }
            // A value someone set since is theirs now.
            if (setting.written && schema.userValue(setting.key.c_str()) != setting.written) {
                continue;
            }
            if (!schema.write(setting.key.c_str(), setting.original)) {
                problems += (problems.empty() ? "" : "\n") + refusedText(setting);
            }
        }
        g_settings_sync();
        return problems.empty() ? Result{} : failed(problems);
    }

    Result capture(TargetRecord& record) override
    {
        for (const GnomeKey& key : kKeys) {
            const Schema& schema = schemaOf(key);
            if (schema.hasKey(key.key)) {
                record.settings.push_back(
                    SettingRecord{key.schema, key.key, schema.userValue(key.key), std::nullopt});
            }
        }
        return {};
    }

private:
    const Schema& schemaOf(const GnomeKey& key) const
    {
        return std::string_view(key.schema) == kHttpSchema ? m_http : m_proxy;
    }
    const Schema& schemaOf(const SettingRecord& setting) const
    {
        return setting.schema == kHttpSchema ? m_http : m_proxy;
    }

    static SettingRecord* find(TargetRecord& record, const GnomeKey& key)
    {
        for (SettingRecord& setting : record.settings) {
            if (setting.schema == key.schema && setting.key == key.key) {
                return &setting;
            }
        }
        return nullptr;
    }

    static std::string refusedText(const SettingRecord& setting)
    {
        return "The GNOME desktop setting " + setting.schema + " " + setting.key +
               " cannot be changed (it is locked, or the value is not valid for it).";
    }

    Schema m_proxy;
    Schema m_http;
};

} // namespace

std::unique_ptr<TargetSettings> gnomeSettings()
{
    return std::make_unique<GnomeSettings>();
}

} // namespace desktop
