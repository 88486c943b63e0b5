#include "Cli.h"
#include "Commands.h"

#include <zvenv/platform/CStringArray.h>

#include <algorithm>
#include <cstdio>

namespace zvenv {
namespace {

const char kPathsHelp[] = "usage: zvenv paths\n"
                          "Prints the root, the module path (the folder of zvenv), every folder of the\n"
                          "layout, the current user, the user-id folder and the user's setting file;\n"
                          "with --format json one object with these names.\n";

const char kUserHelp[] = "usage: zvenv user [show]\n"
                         "       zvenv user set ID [--encrypt]\n"
                         "       zvenv user clear\n"
                         "set makes ID the current user: creates user/ID/ and its envsetting.ini from the\n"
                         "system template when missing, and keeps ID for later runs (in user/.zvenv-host.ini).\n"
                         "With --encrypt the id is stored encrypted and the user's documents go to the\n"
                         "folder named by the encrypted id. clear forgets the current user.\n"
                         "--user ID on any command acts as ID for that command only.\n";

const char kUsersHelp[] = "usage: zvenv users [FILE]\n"
                          "Lists the other users (not the current one, plain or encrypted) whose folder\n"
                          "holds a file ending in FILE (any file when FILE is omitted), each once, sorted,\n"
                          "with the folder's last-write time: ID<TAB>DD/MM/YYYY HH:MM:SS.\n";

// Rows of name and value, printed as "name   value" lines or as one JSON
// object; a missing value is JSON null and a note in the text.
class Rows {
public:
    explicit Rows(const Context& ctx) : m_ctx(ctx) {}
    void Add(const char* label, const CString& value, const char* none = nullptr)
    {
        if (value.IsEmpty() && none) {
            m_json.Add(JsonValue(), Wide(label).str());
            m_lines.push_back(Line(label, none));
            return;
        }
        m_json.Add(JsonValue::Str(value.str()), Wide(label).str());
        m_lines.push_back(Line(label, Narrow(value)));
    }
    void AddPath(const char* label, const CString& path, const char* none = nullptr)
    {
        Add(label, path.IsEmpty() ? path : Wide(m_ctx.Show(path)), none);
    }
    void Emit() const { m_ctx.Emit(m_json, m_lines); }

private:
    static std::string Line(const char* label, const std::string& value)
    {
        char head[16];
        std::snprintf(head, sizeof head, "%-10s ", label);
        return head + value;
    }
    const Context& m_ctx;
    JsonValue m_json = JsonValue::Obj();
    std::vector<std::string> m_lines;
};

void UserRows(CTqEnvMgr* m, Rows& rows)
{
    const CString id = m->GetUserId(0);
    rows.Add("user-id", id, "(none)");
    if (!id.IsEmpty() && m->GetUserId(1) != id)
        rows.Add("stored-as", m->GetUserId(1));
    rows.AddPath("user-dir", m->GetUserIdPath(L""));
    rows.AddPath("setting", m->GetEnvSetting()->GetPath(), "(none until a user is set)");
}

// "DD/MM/YYYY HH:MM:SS" as a text that sorts by time.
std::string SortableDate(const CString& date)
{
    const std::string d = Narrow(date);
    return d.size() < 19 ? d : d.substr(6, 4) + d.substr(3, 2) + d.substr(0, 2) + d.substr(10);
}

} // namespace

int RunPaths(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.WantsHelp())
        return Help(kPathsHelp);
    if (!args.Unknown({}).empty())
        return Usage("unknown option " + args.Unknown({}), kPathsHelp);
    if (args.Count() != 0)
        return Usage("paths takes no arguments", kPathsHelp);
    CTqEnvMgr* m = ctx.mgr;
    Rows rows(ctx);
    rows.AddPath("root", m->GetRootPath());
    rows.AddPath("module", m->GetModulePath());
    rows.AddPath("data", m->GetDataPath(L""));
    rows.AddPath("image", m->GetImagePath(L""));
    rows.AddPath("menu", m->GetMenuPath(L""));
    rows.AddPath("screen", m->GetScreenPath(L""));
    rows.AddPath("sound", m->GetSoundPath(L""));
    rows.AddPath("system", m->GetSystemPath(L""));
    rows.AddPath("user", m->GetUserPath(L""));
    UserRows(m, rows);
    rows.Emit();
    return kOk;
}

int RunUser(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.WantsHelp())
        return Help(kUserHelp);
    if (!args.Unknown({}).empty())
        return Usage("unknown option " + args.Unknown({}), kUserHelp);
    const std::string verb = args.Count() == 0 ? "show" : args.At(0);
    if (verb == "show" && args.Count() <= 1) {
        if (!ctx.user.id.IsEmpty() && !ApplyUser(ctx.mgr, ctx.user.id, ctx.user.encrypt))
            return Fail(RefusedUser(ctx.user.id));
        Rows rows(ctx);
        UserRows(ctx.mgr, rows);
        rows.Emit();
        return kOk;
    }
    if (ctx.format == Format::Json)
        return Usage("--format json goes with the reading commands", kUserHelp);
    if (verb == "clear" && args.Count() == 1) {
        if (!StoreSavedUser(ctx.mgr, SavedUser()))
            return Fail("cannot write " + ctx.Show(SavedUserFile(ctx.mgr)));
        ctx.Note("no current user");
        return kOk;
    }
    if (verb != "set" || args.Count() != 2)
        return Usage("expected: user [show], user set ID or user clear", kUserHelp);
    if (args.At(1).empty())
        return Usage("a user id cannot be empty (user clear forgets the current user)", kUserHelp);
    if (!ctx.encrypt && !IniValueProblem(args.At(1)).empty())
        return Unstorable("the user id '" + args.At(1) +
                          "' cannot be kept between runs: " + IniValueProblem(args.At(1)));
    const SavedUser wanted{Wide(args.At(1)), ctx.encrypt};
    if (!ApplyUser(ctx.mgr, wanted.id, wanted.encrypt))
        return Fail(RefusedUser(wanted.id));
    if (!StoreSavedUser(ctx.mgr, wanted))
        return Fail("cannot write " + ctx.Show(SavedUserFile(ctx.mgr)));
    if (!ctx.quiet) {
        Rows rows(ctx);
        UserRows(ctx.mgr, rows);
        rows.Emit();
    }
    return kOk;
}

int RunUsers(Context& ctx, const Words& words)
{
    const Args args(words, {});
    if (args.WantsHelp())
        return Help(kUsersHelp);
    if (!args.Unknown({}).empty())
        return Usage("unknown option " + args.Unknown({}), kUsersHelp);
    if (args.Count() > 1)
        return Usage("users takes at most one FILE", kUsersHelp);
    CStringArray ids;
    CStringArray dates;
    ctx.mgr->GetOtherUserInfo(ids, dates, Wide(args.At(0)));
    // An encrypted user has two folders (the setting file's under the plain
    // id, the documents' under the encrypted one), and the library leaves out
    // only the folder of the stored form: each user once, the current one
    // never, the latest date.
    const CString current = ctx.mgr->GetUserId(0);
    std::vector<std::pair<CString, CString>> users;
    for (int i = 0; i < ids.GetSize() && i < dates.GetSize(); ++i) {
        if (!current.IsEmpty() && ids[i] == current)
            continue;
        const auto same = std::find_if(users.begin(), users.end(), [&](const auto& u) { return u.first == ids[i]; });
        if (same == users.end())
            users.emplace_back(ids[i], dates[i]);
        else if (SortableDate(dates[i]) > SortableDate(same->second))
            same->second = dates[i];
    }
    std::sort(users.begin(), users.end(), [](const auto& a, const auto& b) {
        const int folded = a.first.CompareNoCase(b.first);
        return folded != 0 ? folded < 0 : a.first.Compare(b.first) < 0;
    });
    JsonValue json = JsonValue::Arr();
    std::vector<std::string> lines;
    for (const auto& user : users) {
        JsonValue& entry = json.Add(JsonValue::Obj());
        entry.Add(JsonValue::Str(user.first.str()), L"id");
        entry.Add(JsonValue::Str(user.second.str()), L"date");
        lines.push_back(Narrow(user.first) + "\t" + Narrow(user.second));
    }
    ctx.Emit(json, lines);
    return kOk;
}

} // namespace zvenv
