#include "content_generator.h"

#include "phone_numbers.h"

#include <cstdio>

namespace testdata {

namespace {

using Words = std::vector<std::string>;

const Words kCjkFamily = {"张", "王", "李", "刘", "陈", "杨", "赵", "黄", "周", "吴",  "徐",
                          "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗", "欧阳"};
const Words kCjkGiven = {"伟",   "芳",   "娜",   "秀英", "敏",   "静",  "丽",   "强",
                         "磊",   "军",   "洋",   "勇",   "艳",   "杰",  "娟",   "涛",
                         "明",   "超",   "秀兰", "霞",   "平",   "刚",  "建华", "志强",
                         "晓明", "欣怡", "子涵", "浩然", "雨桐", "梓萱"};
const Words kLatinGiven = {"José",  "Zoë",   "François", "Björn", "Łukasz", "Ana",     "Søren",
                           "Renée", "Chloé", "Jürgen",   "İlker", "Ngọc",   "Siobhán", "Émile",
                           "Agnès", "John",  "Mary",     "David", "Sarah",  "Michael", "Emma",
                           "Kevin", "Linda", "Tom",      "Lucy",  "Ahmed",  "Priya",   "Olga"};
const Words kLatinFamily = {"García",    "Müller", "Dupont", "Ødegaard", "Wójcik",
                            "Conceição", "Nguyễn", "Smith",  "Johnson",  "Brown",
                            "Lee",       "Wang",   "Chen",   "O'Brien",  "van der Berg",
                            "Kowalski",  "Rossi",  "Yılmaz", "Svensson", "Novák"};
const Words kEmojiNames = {"Mom ❤️", "Pizza 🍕 Luigi",   "🏀 Coach Ben", "老婆 💕",
                           "Boss 👔",     "Dad 👨‍🦳", "快递 📦",      "🐱 Mimi",
                           "Landlord 🏠", "Gym 💪 Anna"};
const Words kNicknames = {"Bob", "小胖", "Kiki", "阿强", "Lulu", "Doc", "大头", "Ace"};
const Words kCompanies = {"华为技术有限公司", "Tencent",  "Müller & Söhne GmbH",
                          "Acme Corp",        "中国银行", "Café Olé",
                          "Globex",           "小米科技", "Initech",
                          "顺丰速运"};
const Words kTitles = {"工程师", "Sales Manager", "Directrice", "CTO",
                       "经理",   "Nurse",         "会计",       "Product Owner"};
const Words kDepartments = {"研发部", "Marketing", "R&D", "Finance", "人事部", "Support"};
const Words kStreets = {"建国路88号",       "Hauptstraße 5",     "12 Rue de la Paix",
                        "南京东路100弄3号", "221B Baker Street", "1600 Amphitheatre Pkwy",
                        "Calle Mayor 7, 2º"};
const Words kCities = {"北京市朝阳区", "10115 Berlin", "75002 Paris",
                       "上海市黄浦区", "London NW1",   "Mountain View, CA 94043",
                       "28013 Madrid"};
const Words kMailDomains = {"qq.com",  "163.com",     "gmail.com", "outlook.com",
                            "126.com", "yahoo.co.jp", "gmx.de"};
const Words kCustomLabels = {"宿舍", "Dorm", "老家", "Lab", "Office 2"};
const Words kMobilePrefixes = {"138", "139", "150", "186", "137", "158", "189", "135", "177"};
const Words kServiceSenders = {"10086", "95588",      "10010",  "AMAZON",
                               "95555", "1069012345", "Alipay", "106575258196"};

const Words kEnglishWords = {
    "the",    "meeting", "is",        "moved",  "to",     "tomorrow", "please",  "call",  "me",
    "back",   "when",    "you",       "get",    "this",   "dinner",   "at",      "seven", "ok",
    "thanks", "see",     "on",        "Friday", "train",  "late",     "running", "10",    "minutes",
    "love",   "happy",   "birthday!", "where",  "are",    "we",       "parking", "lot",   "B2",
    "can't",  "talk",    "now",       "sure",   "sounds", "good"};
const Words kChinesePhrases = {"你好", "明天",     "开会",   "晚上",   "一起", "吃饭", "好的",
                               "谢谢", "我到了",   "在楼下", "等你",   "快递", "已经", "放在",
                               "门口", "生日快乐", "周末",   "有空吗", "电话", "回个", "收到",
                               "马上", "路上堵车", "晚点到", "记得",   "带伞"};
const Words kEmoji = {"😀", "👍", "❤️", "🎉", "😂", "🙏", "🍻", "🚗", "☔", "🎂"};
const Words kBreaks = {"\n", "\r\n", "\r", "\t", "\n\n"};

// Eight digits unique for each index below 10^8 (7919 is coprime with 10^8).
std::string eightDigits(int64_t index) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lld",
                  static_cast<long long>((index * 7919 + 13579) % 100000000));
    return buf;
}

// A Chinese mobile number (11 digits) for `index`, in one of the typed shapes.
struct Number {
    std::string typed;   // as saved in the contact
    std::string digits;  // national digits
    std::string network; // as the network delivers it
};

// A unique number in one of the shapes people save numbers in.
Number makeNumber(RandomSource& rng, int64_t index) {
    Number n;
    const uint64_t shape = rng.below(20);
    if (shape < 15) { // Chinese mobile
        n.digits = rng.pick(kMobilePrefixes) + eightDigits(index);
        n.network = "+86" + n.digits;
        const std::string& d = n.digits;
        switch (shape % 5) {
        case 0:
            n.typed = "+86 " + d.substr(0, 3) + " " + d.substr(3, 4) + " " + d.substr(7);
            break;
        case 1:
            n.typed = d.substr(0, 3) + "-" + d.substr(3, 4) + "-" + d.substr(7);
            break;
        case 2:
            n.typed = "+86" + d;
            break;
        default:
            n.typed = d;
            break;
        }
    } else if (shape < 18) { // North American
        const std::string e = eightDigits(index);
        const std::string area = shape == 15 ? "650" : shape == 16 ? "415" : "212";
        n.digits = area + "5" + e.substr(2, 2) + e.substr(4, 4);
        n.network = "+1" + n.digits;
        n.typed = "(" + area + ") " + n.digits.substr(3, 3) + "-" + n.digits.substr(6);
    } else { // German landline
        const std::string e = eightDigits(index);
        n.digits = "30" + e.substr(1, 7);
        n.network = "+49" + n.digits;
        n.typed = "0049 30 " + e.substr(1, 7);
    }
    return n;
}

// One data row of `mime` with the given values.
DataRow row(const char* mime, std::optional<std::string> d1, std::optional<std::string> d2 = {},
            std::optional<std::string> d3 = {}, std::optional<std::string> d4 = {},
            std::optional<std::string> d5 = {}) {
    DataRow r;
    r.mimetype = mime;
    r.data1 = std::move(d1);
    r.data2 = std::move(d2);
    r.data3 = std::move(d3);
    r.data4 = std::move(d4);
    r.data5 = std::move(d5);
    return r;
}

// A phone row for `n` with a realistic type (stored as text).
DataRow phoneRow(RandomSource& rng, const Number& n) {
    static const Words types = {"2", "2", "2", "2", "2", "1", "3", "17", "7", "0"};
    const std::string type = rng.pick(types);
    const std::string e164 = e164Of(n.typed);
    return row(kMimePhone, n.typed, type,
               type == "0" ? std::optional<std::string>(rng.pick(kCustomLabels)) : std::nullopt,
               e164.empty() ? std::optional<std::string>() : e164);
}

// An e-mail row for a person numbered `index`.
DataRow emailRow(RandomSource& rng, int64_t index, const std::string& hint) {
    const std::string domain = rng.pick(kMailDomains);
    std::string local;
    if (domain == "qq.com")
        local = std::to_string(100000 + (index * 7919) % 900000000);
    else
        local = hint + "." + std::to_string(index);
    return row(kMimeEmail, local + "@" + domain, rng.chance(0.6) ? "1" : "2");
}

// Appends words from `pool` (with occasional line breaks, emoji) until `bytes`.
void fillText(RandomSource& rng, std::string& out, size_t bytes, const Words& pool, bool spaced) {
    while (out.size() < bytes) {
        if (!out.empty()) {
            if (rng.chance(0.04))
                out += rng.pick(kBreaks);
            else if (rng.chance(0.03))
                out += rng.pick(kEmoji);
            else if (spaced)
                out += ' ';
            else if (rng.chance(0.15))
                out += "，";
        }
        out += rng.pick(pool);
    }
}

} // namespace

GeneratedContact makeContact(RandomSource& rng, int64_t index) {
    GeneratedContact g;
    RawContact& c = g.contact;
    const Number n = makeNumber(rng, index);
    g.networkForm = n.network;
    // Chinese numbers are often typed as bare national digits; others as saved.
    g.typedForm = n.network.rfind("+86", 0) == 0 && rng.chance(0.7) ? n.digits : n.typed;
    const uint64_t kind = rng.below(100);

    if (kind < 2) { // a service saved under its short code
        static const Words names = {"中国移动", "工商银行", "中国联通", "招商银行"};
        static const Words codes = {"10086", "95588", "10010", "95555"};
        const size_t which = static_cast<size_t>(rng.below(names.size()));
        c.displayName = names[which];
        c.displayNameSource = 40;
        c.rows.push_back(row(kMimeName, names[which], names[which]));
        c.rows.push_back(row(kMimePhone, codes[which], "10"));
        g.networkForm = g.typedForm = codes[which];
        g.service = true;
        return g;
    }
    if (kind < 10) { // saved as a bare number: the number becomes the name
        c.displayName = n.typed;
        c.displayNameSource = 20;
        c.rows.push_back(phoneRow(rng, n));
        return g;
    }
    if (kind < 15) { // only an e-mail address
        c.rows.push_back(emailRow(rng, index, "user"));
        c.displayName = c.rows.back().data1;
        c.displayNameSource = 10;
        g.networkForm.clear();
        g.typedForm.clear();
        return g;
    }
    if (kind < 20) { // a company with a switchboard number
        const std::string company = rng.pick(kCompanies);
        c.rows.push_back(row(kMimeOrganization, company, "1", std::nullopt, rng.pick(kTitles),
                             rng.pick(kDepartments)));
        c.rows.push_back(phoneRow(rng, n));
        c.displayName = company;
        c.displayNameSource = 30;
        return g;
    }
    if (kind < 23) { // known only by a nickname
        const std::string nick = rng.pick(kNicknames);
        c.rows.push_back(row(kMimeNickname, nick, "1"));
        c.rows.push_back(phoneRow(rng, n));
        c.displayName = nick;
        c.displayNameSource = 35;
        return g;
    }

    // A structured name, the usual case.
    std::string display, given, family, hint = "user";
    const uint64_t script = rng.below(100);
    if (script < 48) {
        family = rng.pick(kCjkFamily);
        given = rng.pick(kCjkGiven);
        display = family + given;
    } else if (script < 93) {
        given = rng.pick(kLatinGiven);
        family = rng.pick(kLatinFamily);
        display = given + " " + family;
        hint = "mail";
    } else {
        display = rng.pick(kEmojiNames);
        given = display;
    }
    c.displayName = display;
    c.displayNameSource = 40;
    c.rows.push_back(
        row(kMimeName, display, given, family.empty() ? std::optional<std::string>() : family));
    c.rows.push_back(phoneRow(rng, n));
    const uint64_t extraPhones = rng.chance(0.45) ? (rng.chance(0.35) ? 2 : 1) : 0;
    for (uint64_t k = 1; k <= extraPhones; ++k)
        c.rows.push_back(phoneRow(rng, makeNumber(rng, index + 20000000 * int64_t(k))));
    if (rng.chance(0.5))
        c.rows.push_back(emailRow(rng, index, hint));
    if (rng.chance(0.2))
        c.rows.push_back(row(kMimeOrganization, rng.pick(kCompanies), "1", std::nullopt,
                             rng.pick(kTitles), rng.pick(kDepartments)));
    if (rng.chance(0.08))
        c.rows.push_back(row(kMimeNickname, rng.pick(kNicknames), "1"));
    if (rng.chance(0.4)) { // birthday: type 3
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d",
                      static_cast<int>(rng.between(1950, 2012)),
                      static_cast<int>(rng.between(1, 12)), static_cast<int>(rng.between(1, 28)));
        c.rows.push_back(row(kMimeEvent, std::string(date), "3"));
    }
    if (rng.chance(0.3)) { // home address: formatted in data1, street in data4
        const std::string& street = rng.pick(kStreets);
        c.rows.push_back(
            row(kMimePostal, street + "\n" + rng.pick(kCities), "1", std::nullopt, street));
    }
    if (rng.chance(0.1))
        c.rows.push_back(row(kMimeWebsite, "https://example.org/~" + std::to_string(index), "7"));
    if (rng.chance(0.1))
        c.rows.push_back(
            row(kMimeNote, "Met at the conference\nlikes green tea\r\nbirthday: 3 May"));
    return g;
}

std::string makeUnknownNumber(RandomSource& rng, int64_t index) {
    return "+86" + rng.pick(kMobilePrefixes) + eightDigits(index + 50000000);
}

std::string makeServiceSender(int64_t index) {
    return kServiceSenders[static_cast<size_t>(index) % kServiceSenders.size()];
}

std::string makeBody(RandomSource& rng, bool allowLong) {
    const double r = rng.unit();
    size_t bytes;
    if (r < 0.60)
        bytes = static_cast<size_t>(rng.between(2, 70));
    else if (r < 0.88)
        bytes = static_cast<size_t>(rng.between(70, 160));
    else if (r < 0.994 || !allowLong)
        bytes = static_cast<size_t>(rng.between(160, 800)); // multipart
    else
        bytes = static_cast<size_t>(rng.between(4200, 9000)); // spills into overflow pages
    std::string body;
    const uint64_t lang = rng.below(100);
    if (lang < 50)
        fillText(rng, body, bytes, kEnglishWords, true);
    else if (lang < 85)
        fillText(rng, body, bytes, kChinesePhrases, false);
    else {
        fillText(rng, body, bytes / 2, kEnglishWords, true);
        body += ' ';
        fillText(rng, body, bytes, kChinesePhrases, false);
    }
    return body;
}

std::string makeServiceBody(RandomSource& rng, const std::string& sender) {
    char buf[256];
    const int code = static_cast<int>(rng.between(100000, 999999));
    const int amount = static_cast<int>(rng.between(1, 99999));
    switch (rng.below(4)) {
    case 0:
        std::snprintf(buf, sizeof buf, "【%s】您的验证码是%d，5分钟内有效，请勿泄露。",
                      sender.c_str(), code);
        break;
    case 1:
        std::snprintf(buf, sizeof buf, "Your %s verification code is %d. Don't share it.",
                      sender.c_str(), code);
        break;
    case 2:
        std::snprintf(buf, sizeof buf,
                      "尊敬的客户：您尾号%04d的账户于今日支出人民币%d.%02d元，余额%"
                      "d元。\r\n如有疑问请致电%s。",
                      code % 10000, amount, code % 100, amount * 3, sender.c_str());
        break;
    default:
        std::snprintf(buf, sizeof buf,
                      "Dear customer,\nyour bill of %d.%02d is due on the 15th.\nReply TD to stop.",
                      amount, code % 100);
        break;
    }
    return buf;
}

} // namespace testdata
