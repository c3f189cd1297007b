// Profile files: strict reading with an error that says where, and writing.
#include "cli/Profile.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/Context.h"
#include "infoframes/InfoframeText.h"

namespace brimel::cli {

namespace {

struct Bad {
    std::string what;
};

const Json &need(const Json &j, const char *key, const std::string &where) {
    if (!j.contains(key)) throw Bad{where + ": '" + key + "' is missing"};
    return j.at(key);
}

void onlyKeys(const Json &j, std::initializer_list<const char *> keys, const std::string &where) {
    for (const auto &item : j.items()) {
        const std::string &key = item.key();  // clang 14 cannot capture a structured binding
        if (std::find_if(keys.begin(), keys.end(), [&](const char *k) { return key == k; }) ==
            keys.end())
            throw Bad{where + ": unknown key '" + key + "'"};
    }
}

double number(const Json &j, const std::string &where) {
    if (!j.is_number()) throw Bad{where + ": a number is needed"};
    const double v = j.get<double>();
    if (!std::isfinite(v)) throw Bad{where + ": a finite number is needed"};
    return v;
}

std::uint8_t settingCode(const Setting &s, const Json &j, const std::string &where) {
    if (j.is_string()) {
        if (const SettingValue *v = s.valueNamed(j.get<std::string>())) return v->code;
    } else if (j.is_number_unsigned() && j.get<std::uint64_t>() <= 255) {
        if (const SettingValue *v = s.valueOf(static_cast<std::uint8_t>(j.get<std::uint64_t>())))
            return v->code;
    }
    std::string names;
    for (const SettingValue &v : s.values)
        if (!v.name.empty()) names += (names.empty() ? "" : ", ") + std::string(v.name);
    throw Bad{where + ": not a value of " + std::string(s.name) + " (values: " + names + ")"};
}

std::string infoframeText(const Json &j, InfoframeKind kind, const std::string &where) {
    if (!j.is_string()) throw Bad{where + ": a text like 87:01:1a:... is needed"};
    std::string text = j.get<std::string>();
    const bool hexColons = std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) || c == ':';
    });
    if (!hexColons || !prepareInfoframeText(text, kind))
        throw Bad{where + (kind == InfoframeKind::Hdr
                               ? ": 2 to 31 bytes as hex pairs joined by ':'"
                               : ": 2 to 17 bytes as hex pairs joined by ':'")};
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

Profile parse(const Json &root) {
    if (!root.is_object()) throw Bad{"the file holds no JSON object"};
    onlyKeys(root, {"format", "version", "settings", "matrix", "infoframes", "edid"}, "profile");
    const Json &format = need(root, "format", "profile");
    if (!format.is_string() || format.get<std::string>() != kProfileFormat)
        throw Bad{"format: not a Brimel profile (\"" + std::string(kProfileFormat) +
                  "\" expected)"};
    const Json &version = need(root, "version", "profile");
    if (!version.is_number_integer() || version.get<long long>() != kProfileVersion)
        throw Bad{"version: only version " + std::to_string(kProfileVersion) + " is known"};

    Profile p;
    if (root.contains("settings")) {
        const Json &settings = root.at("settings");
        if (!settings.is_object()) throw Bad{"settings: an object is needed"};
        for (const auto &[name, value] : settings.items()) {
            const Setting *s = findSetting(name);
            if (s == nullptr || s->kind != SettingKind::Setting)
                throw Bad{"settings." + name + ": no such setting"};
            (void)value;
        }
        // Kept in the table's order whatever the file's order.
        for (const Setting &s : settingsTable()) {
            const std::string name(s.name);
            if (settings.contains(name))
                p.settings.emplace_back(&s, settingCode(s, settings.at(name), "settings." + name));
        }
    }
    if (root.contains("matrix")) {
        const Json &m = root.at("matrix");
        if (!m.is_object()) throw Bad{"matrix: an object is needed"};
        onlyKeys(m, {"offsets", "coefficients"}, "matrix");
        MatrixValues values;
        const Json &offsets = need(m, "offsets", "matrix");
        if (!offsets.is_array() || offsets.size() != 3)
            throw Bad{"matrix.offsets: three numbers (R, G, B)"};
        for (std::size_t i = 0; i < 3; ++i) {
            const double v = number(offsets[i], "matrix.offsets");
            if (v < 0 || v > 255 || v != std::floor(v))
                throw Bad{"matrix.offsets: whole numbers 0 to 255"};
            values.offsets[i] = v;
        }
        const Json &rows = need(m, "coefficients", "matrix");
        if (!rows.is_array() || rows.size() != 3)
            throw Bad{"matrix.coefficients: three rows (R, G, B) of three numbers (Y, Cb, Cr)"};
        for (std::size_t r = 0; r < 3; ++r) {
            if (!rows[r].is_array() || rows[r].size() != 3)
                throw Bad{"matrix.coefficients: three rows (R, G, B) of three numbers (Y, Cb, Cr)"};
            for (std::size_t c = 0; c < 3; ++c) {
                const double v = number(rows[r][c], "matrix.coefficients");
                // The device holds -4.0 up to just under 4.0.
                if (v < -4.0 || v >= 4.0)
                    throw Bad{"matrix.coefficients: numbers from -4 to below 4"};
                values.coefficients[r][c] = v;
            }
        }
        p.matrix = values;
    }
    if (root.contains("infoframes")) {
        const Json &i = root.at("infoframes");
        if (!i.is_object()) throw Bad{"infoframes: an object is needed"};
        onlyKeys(i, {"hdr", "avi"}, "infoframes");
        if (i.contains("hdr"))
            p.hdrInfoframe = infoframeText(i.at("hdr"), InfoframeKind::Hdr, "infoframes.hdr");
        if (i.contains("avi"))
            p.aviInfoframe = infoframeText(i.at("avi"), InfoframeKind::Avi, "infoframes.avi");
    }
    if (root.contains("edid")) {
        const Json &e = root.at("edid");
        const auto bytes = e.is_string() ? parseHexBytes(e.get<std::string>()) : std::nullopt;
        if (!bytes || bytes->size() != kEdidSize) throw Bad{"edid: 256 bytes as 512 hex digits"};
        EdidImage image{};
        std::copy(bytes->begin(), bytes->end(), image.begin());
        if (!edidChecksumsOk(image)) throw Bad{"edid: a checksum is wrong"};
        p.edid = image;
    }
    return p;
}

}  // namespace

std::string settingValueText(const Setting &setting, std::uint8_t code) {
    const SettingValue *v = setting.valueOf(code);
    return v && !v->name.empty() ? std::string(v->name) : std::to_string(code);
}

ProfileRead readProfile(std::string_view text) {
    if (text.size() > kProfileMaxBytes)
        return {std::nullopt,
                "the file is larger than " + std::to_string(kProfileMaxBytes / 1024) + " KiB"};
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::exception &e) {  // a parse error, or a number too large (out_of_range)
        return {std::nullopt, std::string("not JSON: ") + e.what()};
    }
    try {
        return {parse(root), {}};
    } catch (const Bad &bad) {
        return {std::nullopt, bad.what};
    } catch (const Json::exception &e) {
        return {std::nullopt, e.what()};
    }
}

std::string writeProfile(const Profile &p) {
    Json root{{"format", kProfileFormat}, {"version", kProfileVersion}};
    Json settings = Json::object();
    for (const auto &[setting, code] : p.settings) {
        const SettingValue *v = setting->valueOf(code);
        settings[std::string(setting->name)] =
            v && !v->name.empty() ? Json(std::string(v->name)) : Json(code);
    }
    root["settings"] = settings;
    if (p.matrix) {
        root["matrix"] = {{"offsets", p.matrix->offsets}, {"coefficients", p.matrix->coefficients}};
    }
    if (p.hdrInfoframe || p.aviInfoframe) {
        Json infoframes = Json::object();
        if (p.hdrInfoframe) infoframes["hdr"] = *p.hdrInfoframe;
        if (p.aviInfoframe) infoframes["avi"] = *p.aviInfoframe;
        root["infoframes"] = infoframes;
    }
    if (p.edid) root["edid"] = hexBytes(*p.edid);
    return root.dump(2) + "\n";
}

}  // namespace brimel::cli
