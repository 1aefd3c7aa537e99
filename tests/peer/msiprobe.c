/* msiprobe: drives an installer service's msi.dll (Wine's, under tests/peer/wine-run.sh) so
 * that our own engine can be compared with it. Cross-compiled with mingw-w64; see README.md
 * beside this file for the subcommands and what each prints.
 *
 * Text on standard output is UTF-8, one record a line, fields separated by TAB, each field
 * escaped (backslash, TAB, LF, CR as \\ \t \n \r). Exit status: 0 success, 1 a service call
 * failed (standard error names the call, the object and the error code), 2 wrong usage.
 * Arguments that are paths may be Unix paths: "/a/b" is read as "Z:\a\b", Wine's mapping of
 * the Unix root. */

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <wtypes.h> /* VT_* summary property types */
#include <msi.h>
#include <msidefs.h>
#include <msiquery.h>
#include <limits.h>
#include <stdlib.h>
#include <wchar.h>

/* ---- growable wide string ---------------------------------------------------------- */

typedef struct {
  wchar_t *data;
  size_t len;
  size_t cap;
} Text;

static void die(const wchar_t *what, const wchar_t *object, const wchar_t *cause);

static void text_reserve(Text *t, size_t extra) {
  if (t->len + extra + 1 <= t->cap) return;
  size_t cap = t->cap ? t->cap : 256;
  while (cap < t->len + extra + 1) {
    if (cap > ((size_t)1 << 28)) die(L"text", L"buffer", L"too large");
    cap *= 2;
  }
  wchar_t *p = realloc(t->data, cap * sizeof(wchar_t));
  if (!p) die(L"text", L"buffer", L"out of memory");
  t->data = p;
  t->cap = cap;
}

static void text_addn(Text *t, const wchar_t *s, size_t n) {
  text_reserve(t, n);
  memcpy(t->data + t->len, s, n * sizeof(wchar_t));
  t->len += n;
  t->data[t->len] = 0;
}

static void text_add(Text *t, const wchar_t *s) { text_addn(t, s, wcslen(s)); }

static void text_addc(Text *t, wchar_t c) { text_addn(t, &c, 1); }

static void text_addint(Text *t, long long v) {
  wchar_t buf[32];
  int i = 31;
  int neg = v < 0;
  unsigned long long u = neg ? 0ULL - (unsigned long long)v : (unsigned long long)v;
  buf[i] = 0;
  do {
    buf[--i] = (wchar_t)(L'0' + u % 10);
    u /= 10;
  } while (u);
  if (neg) buf[--i] = L'-';
  text_add(t, buf + i);
}

/* A field of a TAB-separated record: the characters that would break the line are escaped. */
static void text_addfield(Text *t, const wchar_t *s) {
  for (; *s; ++s) {
    switch (*s) {
      case L'\\': text_add(t, L"\\\\"); break;
      case L'\t': text_add(t, L"\\t"); break;
      case L'\n': text_add(t, L"\\n"); break;
      case L'\r': text_add(t, L"\\r"); break;
      default: text_addc(t, *s);
    }
  }
}

static void text_clear(Text *t) {
  t->len = 0;
  if (t->data) t->data[0] = 0;
}

static void text_free(Text *t) {
  free(t->data);
  t->data = NULL;
  t->len = t->cap = 0;
}

/* ---- output ------------------------------------------------------------------------- */

static void write_utf8(HANDLE h, const wchar_t *s, size_t n) {
  if (n == 0) return;
  if (n > 0x7fffffff) n = 0x7fffffff;
  int bytes = WideCharToMultiByte(CP_UTF8, 0, s, (int)n, NULL, 0, NULL, NULL);
  if (bytes <= 0) return;
  char *buf = malloc((size_t)bytes);
  if (!buf) return;
  WideCharToMultiByte(CP_UTF8, 0, s, (int)n, buf, bytes, NULL, NULL);
  DWORD done = 0;
  WriteFile(h, buf, (DWORD)bytes, &done, NULL);
  free(buf);
}

/* Prints the record built in `line` and a line feed to standard output, then empties it. */
static void emit(Text *line) {
  text_addc(line, L'\n');
  write_utf8(GetStdHandle(STD_OUTPUT_HANDLE), line->data, line->len);
  text_clear(line);
}

static void err(const wchar_t *s) { write_utf8(GetStdHandle(STD_ERROR_HANDLE), s, wcslen(s)); }

static void die(const wchar_t *what, const wchar_t *object, const wchar_t *cause) {
  err(L"msiprobe: ");
  err(what);
  if (object && *object) {
    err(L" `");
    err(object);
    err(L"`");
  }
  err(L": ");
  err(cause);
  err(L"\n");
  ExitProcess(1);
}

/* Fails with the service's error code and, where it left one, its last error record. */
static void die_code(const wchar_t *what, const wchar_t *object, UINT code) {
  Text cause = {0};
  text_add(&cause, L"error ");
  text_addint(&cause, code);
  MSIHANDLE rec = MsiGetLastErrorRecord();
  if (rec) {
    text_add(&cause, L" (error record ");
    text_addint(&cause, MsiRecordGetInteger(rec, 1));
    text_add(&cause, L")");
    MsiCloseHandle(rec);
  }
  die(what, object, cause.data);
}

/* ---- paths -------------------------------------------------------------------------- */

/* "/a/b" -> "Z:\a\b"; other separators '/' -> '\'. Wine maps drive Z: to the Unix root. */
static wchar_t *win_path(const wchar_t *arg) {
  Text t = {0};
  if (arg[0] == L'/') text_add(&t, L"Z:");
  text_add(&t, arg);
  for (size_t i = 0; i < t.len; ++i)
    if (t.data[i] == L'/') t.data[i] = L'\\';
  return t.data;
}

static void make_dir(const wchar_t *dir) {
  if (!CreateDirectoryW(dir, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
    die(L"create folder", dir, L"CreateDirectory failed");
}

/* ---- records and views -------------------------------------------------------------- */

/* The text of field `field` (integers as decimal text, null as empty), into `out`. */
static void record_string(MSIHANDLE rec, UINT field, Text *out) {
  DWORD size = 0;
  text_clear(out);
  text_reserve(out, 64);
  size = (DWORD)(out->cap - 1);
  UINT r = MsiRecordGetStringW(rec, field, out->data, &size);
  if (r == ERROR_MORE_DATA) {
    text_reserve(out, (size_t)size + 1);
    size = (DWORD)(out->cap - 1);
    r = MsiRecordGetStringW(rec, field, out->data, &size);
  }
  if (r != ERROR_SUCCESS) die_code(L"read record field", L"", r);
  out->len = size;
  out->data[size] = 0;
}

static MSIHANDLE open_view(MSIHANDLE db, const wchar_t *sql) {
  MSIHANDLE view = 0;
  UINT r = MsiDatabaseOpenViewW(db, sql, &view);
  if (r != ERROR_SUCCESS) die_code(L"open view", sql, r);
  r = MsiViewExecute(view, 0);
  if (r != ERROR_SUCCESS) die_code(L"execute view", sql, r);
  return view;
}

/* Like open_view, but returns 0 when the query cannot run (a table the package lacks). */
static MSIHANDLE try_open_view(MSIHANDLE db, const wchar_t *sql) {
  MSIHANDLE view = 0;
  if (MsiDatabaseOpenViewW(db, sql, &view) != ERROR_SUCCESS) return 0;
  if (MsiViewExecute(view, 0) != ERROR_SUCCESS) {
    MsiCloseHandle(view);
    return 0;
  }
  return view;
}

/* Next row of `view` into *rec (closing the previous one); 0 at the end. */
static int fetch(MSIHANDLE view, MSIHANDLE *rec, const wchar_t *what) {
  if (*rec) MsiCloseHandle(*rec);
  *rec = 0;
  UINT r = MsiViewFetch(view, rec);
  if (r == ERROR_NO_MORE_ITEMS) return 0;
  if (r != ERROR_SUCCESS) die_code(L"fetch row", what, r);
  return 1;
}

/* Every row of `view` as a TAB-separated line, after a header line of the column names.
 * A binary cell prints as `binary:SIZE` (its stream's size in bytes). */
static void dump_view(MSIHANDLE view, const wchar_t *what, Text *out) {
  MSIHANDLE names = 0, types = 0;
  Text field = {0};
  UINT r = MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &names);
  if (r != ERROR_SUCCESS) die_code(L"column names", what, r);
  r = MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, &types);
  if (r != ERROR_SUCCESS) die_code(L"column types", what, r);
  UINT columns = MsiRecordGetFieldCount(names);
  if (columns > 256) die(L"view", what, L"more than 256 columns");
  int binary[257] = {0};
  for (UINT c = 1; c <= columns; ++c) {
    record_string(types, c, &field);
    binary[c] = field.len > 0 && (field.data[0] == L'v' || field.data[0] == L'V');
  }
  MsiCloseHandle(types);
  for (UINT c = 1; c <= columns; ++c) {
    record_string(names, c, &field);
    if (c > 1) text_addc(out, L'\t');
    text_addfield(out, field.data);
  }
  text_addc(out, L'\n');
  MsiCloseHandle(names);
  MSIHANDLE rec = 0;
  while (fetch(view, &rec, what)) {
    for (UINT c = 1; c <= columns; ++c) {
      if (c > 1) text_addc(out, L'\t');
      if (MsiRecordIsNull(rec, c)) continue;
      if (binary[c]) {
        text_add(out, L"binary:");
        text_addint(out, MsiRecordDataSize(rec, c));
        continue;
      }
      record_string(rec, c, &field);
      text_addfield(out, field.data);
    }
    text_addc(out, L'\n');
  }
  text_free(&field);
}

/* ---- files -------------------------------------------------------------------------- */

static void write_file(const wchar_t *dir, const wchar_t *name, const Text *content) {
  Text path = {0};
  text_add(&path, dir);
  text_addc(&path, L'\\');
  text_add(&path, name);
  HANDLE h = CreateFileW(path.data, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         NULL);
  if (h == INVALID_HANDLE_VALUE) die(L"create file", path.data, L"CreateFile failed");
  write_utf8(h, content->data, content->len);
  CloseHandle(h);
  text_free(&path);
}

/* ---- export ------------------------------------------------------------------------- */

static const wchar_t *const kSummaryNames[] = {
    L"",         L"Codepage",      L"Title",      L"Subject",      L"Author",
    L"Keywords", L"Comments",      L"Template",   L"LastSavedBy",  L"RevisionNumber",
    L"",         L"LastPrinted",   L"Created",    L"LastSaved",    L"PageCount",
    L"WordCount", L"CharCount",    L"",           L"AppName",      L"Security"};

/* Summary information, one `PID NAME VALUE` line per property present; times as
 * YYYY/MM/DD hh:mm:ss (UTC, as stored). */
static void summary_text(MSIHANDLE db, Text *out) {
  MSIHANDLE si = 0;
  UINT r = MsiGetSummaryInformationW(db, NULL, 0, &si);
  if (r != ERROR_SUCCESS) die_code(L"summary information", L"", r);
  Text value = {0};
  for (UINT pid = 1; pid <= 19; ++pid) {
    UINT type = 0;
    INT ival = 0;
    FILETIME ft = {0};
    text_clear(&value);
    text_reserve(&value, 256);
    DWORD size = (DWORD)(value.cap - 1);
    r = MsiSummaryInfoGetPropertyW(si, pid, &type, &ival, &ft, value.data, &size);
    if (r == ERROR_MORE_DATA) {
      text_reserve(&value, (size_t)size + 1);
      size = (DWORD)(value.cap - 1);
      r = MsiSummaryInfoGetPropertyW(si, pid, &type, &ival, &ft, value.data, &size);
    }
    if (r != ERROR_SUCCESS) die_code(L"summary property", kSummaryNames[pid], r);
    if (type == VT_EMPTY) continue;
    text_addint(out, pid);
    text_addc(out, L'\t');
    text_add(out, kSummaryNames[pid]);
    text_addc(out, L'\t');
    if (type == VT_I2 || type == VT_I4) {
      text_addint(out, ival);
    } else if (type == VT_LPSTR) {
      value.len = size;
      value.data[size] = 0;
      text_addfield(out, value.data);
    } else if (type == VT_FILETIME) {
      SYSTEMTIME st;
      if (!FileTimeToSystemTime(&ft, &st)) die(L"summary property", kSummaryNames[pid], L"bad time");
      wchar_t buf[32];
      swprintf(buf, 32, L"%04u/%02u/%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
               st.wMinute, st.wSecond);
      text_add(out, buf);
    } else {
      text_add(out, L"?type ");
      text_addint(out, type);
    }
    text_addc(out, L'\n');
  }
  text_free(&value);
  MsiCloseHandle(si);
}

/* Exports one table as <table>.idt. Prints `table NAME` when done; otherwise, for a table
 * the service offers only sometimes (`required` 0), `unsupported NAME`, and for a listed
 * table `failed NAME CODE` (with the reason on standard error). Returns 0 on failure. */
static int export_one(MSIHANDLE db, const wchar_t *table, const wchar_t *dir, int required) {
  Text file = {0};
  Text line = {0};
  text_add(&file, table);
  text_add(&file, L".idt");
  UINT r = MsiDatabaseExportW(db, table, dir, file.data);
  text_add(&line, r == ERROR_SUCCESS ? L"table\t" : required ? L"failed\t" : L"unsupported\t");
  text_addfield(&line, table);
  if (r != ERROR_SUCCESS && required) {
    text_addc(&line, L'\t');
    text_addint(&line, r);
    err(L"msiprobe: export table `");
    err(table);
    err(L"`: MsiDatabaseExport failed\n");
  }
  emit(&line);
  text_free(&file);
  text_free(&line);
  return r == ERROR_SUCCESS || !required;
}

/* Every table in _Tables as <Table>.idt, then the special archives the service offers
 * (_SummaryInformation, _ForceCodepage), then _suminfo.txt. A table that fails does not stop
 * the others, so that a caller sees everything the service could give; returns the number of
 * tables that failed. */
static int export_all(MSIHANDLE db, const wchar_t *dir) {
  make_dir(dir);
  MSIHANDLE view = open_view(db, L"SELECT `Name` FROM `_Tables`");
  MSIHANDLE rec = 0;
  Text name = {0};
  int failed = 0;
  while (fetch(view, &rec, L"_Tables")) {
    record_string(rec, 1, &name);
    failed += !export_one(db, name.data, dir, 1);
  }
  MsiCloseHandle(view);
  text_free(&name);
  export_one(db, L"_SummaryInformation", dir, 0);
  export_one(db, L"_ForceCodepage", dir, 0);
  Text summary = {0};
  summary_text(db, &summary);
  write_file(dir, L"_suminfo.txt", &summary);
  text_free(&summary);
  return failed;
}

static int export_status(int failed, const wchar_t *pkg) {
  if (!failed) return 0;
  Text cause = {0};
  text_addint(&cause, failed);
  text_add(&cause, failed == 1 ? L" table could not be exported" : L" tables could not be exported");
  die(L"export", pkg, cause.data);
  return 1;
}

static MSIHANDLE open_db(const wchar_t *path, LPCWSTR mode) {
  MSIHANDLE db = 0;
  UINT r = MsiOpenDatabaseW(path, mode, &db);
  if (r != ERROR_SUCCESS) die_code(L"open database", path, r);
  return db;
}

static int cmd_export(const wchar_t *pkg, const wchar_t *outdir) {
  MSIHANDLE db = open_db(pkg, MSIDBOPEN_READONLY);
  int failed = export_all(db, outdir);
  MsiCloseHandle(db);
  return export_status(failed, pkg);
}

/* ---- transforms --------------------------------------------------------------------- */

static void print_status(const wchar_t *what, UINT code) {
  Text line = {0};
  text_add(&line, what);
  text_addc(&line, L'\t');
  text_addint(&line, code);
  emit(&line);
  text_free(&line);
}

static int cmd_apply(const wchar_t *pkg, const wchar_t *mst, const wchar_t *outpkg,
                     const wchar_t *outdir, int conditions) {
  if (!CopyFileW(pkg, outpkg, FALSE)) die(L"copy package to", outpkg, L"CopyFile failed");
  /* A read-only source (shared fixtures) would make the copy read-only too. */
  SetFileAttributesW(outpkg, FILE_ATTRIBUTE_NORMAL);
  MSIHANDLE db = open_db(outpkg, MSIDBOPEN_TRANSACT);
  UINT r = MsiDatabaseApplyTransformW(db, mst, conditions);
  print_status(L"apply", r);
  if (r != ERROR_SUCCESS) die_code(L"apply transform", mst, r);
  r = MsiDatabaseCommit(db);
  print_status(L"commit", r);
  if (r != ERROR_SUCCESS) die_code(L"commit", outpkg, r);
  MsiCloseHandle(db);
  /* Export what the commit wrote, not what the open handle still holds in memory. */
  db = open_db(outpkg, MSIDBOPEN_READONLY);
  int failed = export_all(db, outdir);
  MsiCloseHandle(db);
  return export_status(failed, outpkg);
}

static int cmd_viewtransform(const wchar_t *pkg, const wchar_t *mst, const wchar_t *outdir) {
  MSIHANDLE db = open_db(pkg, MSIDBOPEN_READONLY);
  UINT r = MsiDatabaseApplyTransformW(db, mst, MSITRANSFORM_ERROR_VIEWTRANSFORM);
  print_status(L"apply", r);
  if (r != ERROR_SUCCESS) die_code(L"view transform", mst, r);
  make_dir(outdir);
  MSIHANDLE view = open_view(db, L"SELECT * FROM `_TransformView`");
  Text dump = {0};
  dump_view(view, L"_TransformView", &dump);
  MsiCloseHandle(view);
  write_file(outdir, L"_TransformView.txt", &dump);
  write_utf8(GetStdHandle(STD_OUTPUT_HANDLE), dump.data, dump.len);
  text_free(&dump);
  MsiCloseHandle(db);
  return 0;
}

static int cmd_query(const wchar_t *pkg, const wchar_t *sql) {
  MSIHANDLE db = open_db(pkg, MSIDBOPEN_READONLY);
  MSIHANDLE view = open_view(db, sql);
  Text dump = {0};
  dump_view(view, sql, &dump);
  write_utf8(GetStdHandle(STD_OUTPUT_HANDLE), dump.data, dump.len);
  text_free(&dump);
  MsiCloseHandle(view);
  MsiCloseHandle(db);
  return 0;
}

/* ---- session ------------------------------------------------------------------------ */

static const wchar_t *state_word(INSTALLSTATE s) {
  switch (s) {
    case INSTALLSTATE_NOTUSED: return L"notused";
    case INSTALLSTATE_BADCONFIG: return L"badconfig";
    case INSTALLSTATE_INCOMPLETE: return L"incomplete";
    case INSTALLSTATE_SOURCEABSENT: return L"sourceabsent";
    case INSTALLSTATE_MOREDATA: return L"moredata";
    case INSTALLSTATE_INVALIDARG: return L"invalidarg";
    case INSTALLSTATE_UNKNOWN: return L"unknown";
    case INSTALLSTATE_BROKEN: return L"broken";
    case INSTALLSTATE_ADVERTISED: return L"advertised";
    case INSTALLSTATE_ABSENT: return L"absent";
    case INSTALLSTATE_LOCAL: return L"local";
    case INSTALLSTATE_SOURCE: return L"source";
    case INSTALLSTATE_DEFAULT: return L"default";
    default: return NULL;
  }
}

static void add_state(Text *line, INSTALLSTATE s) {
  const wchar_t *word = state_word(s);
  if (word)
    text_add(line, word);
  else
    text_addint(line, s);
}

static const wchar_t *condition_word(MSICONDITION c) {
  switch (c) {
    case MSICONDITION_FALSE: return L"false";
    case MSICONDITION_TRUE: return L"true";
    case MSICONDITION_NONE: return L"none";
    default: return L"error";
  }
}

static void get_property(MSIHANDLE install, const wchar_t *name, Text *out) {
  text_clear(out);
  text_reserve(out, 256);
  DWORD size = (DWORD)(out->cap - 1);
  UINT r = MsiGetPropertyW(install, name, out->data, &size);
  if (r == ERROR_MORE_DATA) {
    text_reserve(out, (size_t)size + 1);
    size = (DWORD)(out->cap - 1);
    r = MsiGetPropertyW(install, name, out->data, &size);
  }
  if (r != ERROR_SUCCESS) die_code(L"get property", name, r);
  out->len = size;
  out->data[size] = 0;
}

/* Empty text when the directory has no target path (the service's error code otherwise). */
static UINT get_target_path(MSIHANDLE install, const wchar_t *dir, Text *out) {
  text_clear(out);
  text_reserve(out, 256);
  DWORD size = (DWORD)(out->cap - 1);
  UINT r = MsiGetTargetPathW(install, dir, out->data, &size);
  if (r == ERROR_MORE_DATA) {
    text_reserve(out, (size_t)size + 1);
    size = (DWORD)(out->cap - 1);
    r = MsiGetTargetPathW(install, dir, out->data, &size);
  }
  if (r != ERROR_SUCCESS) {
    text_clear(out);
    return r;
  }
  out->len = size;
  out->data[size] = 0;
  return ERROR_SUCCESS;
}

static int row_exists(MSIHANDLE db, const wchar_t *sql_prefix, const wchar_t *key) {
  Text sql = {0};
  text_add(&sql, sql_prefix);
  text_add(&sql, L" = ?");
  MSIHANDLE view = 0, param = MsiCreateRecord(1), rec = 0;
  int found = 0;
  MsiRecordSetStringW(param, 1, key);
  if (MsiDatabaseOpenViewW(db, sql.data, &view) == ERROR_SUCCESS) {
    if (MsiViewExecute(view, param) == ERROR_SUCCESS && MsiViewFetch(view, &rec) == ERROR_SUCCESS) {
      found = 1;
      MsiCloseHandle(rec);
    }
    MsiCloseHandle(view);
  }
  MsiCloseHandle(param);
  text_free(&sql);
  return found;
}

/* Custom action types whose effect is data only (set a property or a directory, or report an
 * error): those run; native code and scripts are skipped, as our own engine does. */
static int custom_action_runs(MSIHANDLE db, const wchar_t *action, int *is_custom) {
  MSIHANDLE view = 0, param = MsiCreateRecord(1), rec = 0;
  int runs = 1;
  *is_custom = 0;
  MsiRecordSetStringW(param, 1, action);
  if (MsiDatabaseOpenViewW(db, L"SELECT `Type` FROM `CustomAction` WHERE `Action` = ?", &view) ==
      ERROR_SUCCESS) {
    if (MsiViewExecute(view, param) == ERROR_SUCCESS && MsiViewFetch(view, &rec) == ERROR_SUCCESS) {
      int base = MsiRecordGetInteger(rec, 1) & 0x3f;
      *is_custom = 1;
      runs = base == msidbCustomActionTypeTextData + msidbCustomActionTypeProperty ||   /* 51 */
             base == msidbCustomActionTypeTextData + msidbCustomActionTypeDirectory ||  /* 35 */
             base == msidbCustomActionTypeTextData + msidbCustomActionTypeSourceFile;   /* 19 */
      MsiCloseHandle(rec);
    }
    MsiCloseHandle(view);
  }
  MsiCloseHandle(param);
  return runs;
}

/* Runs InstallUISequence as the service would with no dialogs: rows in Sequence order, each
 * row's condition evaluated first; dialogs and ExecuteAction are not run. Stops at the first
 * action that fails, as the service does. Prints `action NAME RESULT` per row and
 * `sequence STATUS` at the end. */
static void run_ui_sequence(MSIHANDLE install, MSIHANDLE db) {
  MSIHANDLE view = try_open_view(
      db, L"SELECT `Action`, `Condition`, `Sequence` FROM `InstallUISequence` ORDER BY `Sequence`");
  Text line = {0}, action = {0}, cond = {0};
  UINT status = ERROR_SUCCESS;
  if (!view) {
    text_add(&line, L"sequence\tnone");
    emit(&line);
    text_free(&line);
    return;
  }
  MSIHANDLE rec = 0;
  while (fetch(view, &rec, L"InstallUISequence")) {
    if (MsiRecordIsNull(rec, 3) || MsiRecordGetInteger(rec, 3) <= 0) continue;
    record_string(rec, 1, &action);
    record_string(rec, 2, &cond);
    text_add(&line, L"action\t");
    text_addfield(&line, action.data);
    text_addc(&line, L'\t');
    int is_custom = 0;
    if (cond.len && MsiEvaluateConditionW(install, cond.data) == MSICONDITION_FALSE) {
      text_add(&line, L"false");
    } else if (wcscmp(action.data, L"ExecuteAction") == 0) {
      text_add(&line, L"execute");
    } else if (row_exists(db, L"SELECT `Dialog` FROM `Dialog` WHERE `Dialog`", action.data)) {
      text_add(&line, L"dialog");
    } else if (!custom_action_runs(db, action.data, &is_custom)) {
      text_add(&line, L"skipped");
    } else {
      UINT r = MsiDoActionW(install, action.data);
      text_addint(&line, r);
      /* 1 in a custom action's return sense never occurs here; the service's codes are
       * ERROR_SUCCESS, ERROR_FUNCTION_NOT_CALLED (action not found or skipped) or failures. */
      if (r != ERROR_SUCCESS && r != ERROR_FUNCTION_NOT_CALLED) {
        emit(&line);
        status = r;
        break;
      }
    }
    emit(&line);
  }
  if (rec) MsiCloseHandle(rec);
  MsiCloseHandle(view);
  text_add(&line, L"sequence\t");
  text_addint(&line, status);
  emit(&line);
  text_free(&line);
  text_free(&action);
  text_free(&cond);
}

/* For each row of `sql` (one key column), runs `print` with the key. */
typedef void (*RowPrinter)(MSIHANDLE install, const wchar_t *key, Text *line, Text *scratch);

static void for_each_key(MSIHANDLE install, MSIHANDLE db, const wchar_t *sql, RowPrinter print) {
  MSIHANDLE view = try_open_view(db, sql);
  if (!view) return;
  MSIHANDLE rec = 0;
  Text key = {0}, line = {0}, scratch = {0};
  while (fetch(view, &rec, sql)) {
    record_string(rec, 1, &key);
    print(install, key.data, &line, &scratch);
    emit(&line);
  }
  MsiCloseHandle(view);
  text_free(&key);
  text_free(&line);
  text_free(&scratch);
}

static void print_feature(MSIHANDLE install, const wchar_t *name, Text *line, Text *scratch) {
  (void)scratch;
  INSTALLSTATE installed = INSTALLSTATE_UNKNOWN, action = INSTALLSTATE_UNKNOWN;
  UINT r = MsiGetFeatureStateW(install, name, &installed, &action);
  if (r != ERROR_SUCCESS) die_code(L"feature state", name, r);
  text_add(line, L"feature\t");
  text_addfield(line, name);
  text_addc(line, L'\t');
  add_state(line, action);
  text_addc(line, L'\t');
  add_state(line, installed);
}

static void print_component(MSIHANDLE install, const wchar_t *name, Text *line, Text *scratch) {
  (void)scratch;
  INSTALLSTATE installed = INSTALLSTATE_UNKNOWN, action = INSTALLSTATE_UNKNOWN;
  UINT r = MsiGetComponentStateW(install, name, &installed, &action);
  if (r != ERROR_SUCCESS) die_code(L"component state", name, r);
  text_add(line, L"component\t");
  text_addfield(line, name);
  text_addc(line, L'\t');
  add_state(line, action);
  text_addc(line, L'\t');
  add_state(line, installed);
}

static void print_directory(MSIHANDLE install, const wchar_t *name, Text *line, Text *scratch) {
  UINT r = get_target_path(install, name, scratch);
  text_add(line, L"directory\t");
  text_addfield(line, name);
  text_addc(line, L'\t');
  if (r == ERROR_SUCCESS)
    text_addfield(line, scratch->data);
  else {
    text_add(line, L"?error ");
    text_addint(line, r);
  }
}

static void print_property(MSIHANDLE install, const wchar_t *name, Text *line, Text *scratch) {
  get_property(install, name, scratch);
  text_add(line, L"property\t");
  text_addfield(line, name);
  text_addc(line, L'\t');
  text_addfield(line, scratch->data);
}

static int cmd_session(const wchar_t *pkg, int argc, wchar_t **argv) {
  MsiSetInternalUI(INSTALLUILEVEL_NONE, NULL);
  MSIHANDLE install = 0;
  UINT r = MsiOpenPackageW(pkg, &install);
  if (r != ERROR_SUCCESS) die_code(L"open package", pkg, r);
  /* --set NAME=VALUE before the sequence runs (as on a command line). */
  for (int i = 0; i < argc; ++i) {
    if (wcscmp(argv[i], L"--set") != 0) continue;
    if (i + 1 >= argc) die(L"option", L"--set", L"needs NAME=VALUE");
    wchar_t *eq = wcschr(argv[i + 1], L'=');
    if (!eq || eq == argv[i + 1]) die(L"option --set", argv[i + 1], L"is not NAME=VALUE");
    *eq = 0;
    r = MsiSetPropertyW(install, argv[i + 1], eq + 1);
    if (r != ERROR_SUCCESS) die_code(L"set property", argv[i + 1], r);
    ++i;
  }
  MSIHANDLE db = MsiGetActiveDatabase(install);
  if (!db) die(L"active database of", pkg, L"none");
  run_ui_sequence(install, db);

  Text line = {0}, scratch = {0};
  for (int i = 0; i < argc; ++i) {
    if (wcscmp(argv[i], L"--set") == 0) {
      ++i;
      continue;
    }
    if (wcscmp(argv[i], L"--property") == 0) {
      if (i + 1 >= argc) die(L"option", L"--property", L"needs NAME");
      print_property(install, argv[++i], &line, &scratch);
      emit(&line);
      continue;
    }
    text_add(&line, L"eval\t");
    text_add(&line, condition_word(MsiEvaluateConditionW(install, argv[i])));
    text_addc(&line, L'\t');
    text_addfield(&line, argv[i]);
    emit(&line);
  }
  text_free(&line);
  text_free(&scratch);
  for_each_key(install, db, L"SELECT `Feature` FROM `Feature`", print_feature);
  for_each_key(install, db, L"SELECT `Component` FROM `Component`", print_component);
  for_each_key(install, db, L"SELECT `Directory` FROM `Directory`", print_directory);
  for_each_key(install, db, L"SELECT `Property` FROM `Property`", print_property);
  MsiCloseHandle(db);
  MsiCloseHandle(install);
  return 0;
}

/* ---- main --------------------------------------------------------------------------- */

static int usage(void) {
  err(L"usage: msiprobe export PKG OUTDIR\n"
      L"       msiprobe apply PKG MST OUTPKG OUTDIR [ERRORCONDITIONS]\n"
      L"       msiprobe viewtransform PKG MST OUTDIR\n"
      L"       msiprobe query PKG SQL\n"
      L"       msiprobe session PKG [--set NAME=VALUE | --property NAME | COND]...\n");
  return 2;
}

static int parse_int(const wchar_t *s, int *out) {
  wchar_t *end = NULL;
  long v = wcstol(s, &end, 0);
  if (!*s || *end || v < INT_MIN || v > INT_MAX) return 0;
  *out = (int)v;
  return 1;
}

int wmain(int argc, wchar_t **argv) {
  if (argc < 2) return usage();
  const wchar_t *cmd = argv[1];
  if (wcscmp(cmd, L"export") == 0 && argc == 4) return cmd_export(win_path(argv[2]), win_path(argv[3]));
  if (wcscmp(cmd, L"apply") == 0 && (argc == 6 || argc == 7)) {
    int conditions = 0;
    if (argc == 7 && !parse_int(argv[6], &conditions)) {
      err(L"msiprobe: apply: ERRORCONDITIONS must be an integer\n");
      return 2;
    }
    return cmd_apply(win_path(argv[2]), win_path(argv[3]), win_path(argv[4]), win_path(argv[5]),
                     conditions);
  }
  if (wcscmp(cmd, L"viewtransform") == 0 && argc == 5)
    return cmd_viewtransform(win_path(argv[2]), win_path(argv[3]), win_path(argv[4]));
  if (wcscmp(cmd, L"query") == 0 && argc == 4) return cmd_query(win_path(argv[2]), argv[3]);
  if (wcscmp(cmd, L"session") == 0 && argc >= 3)
    return cmd_session(win_path(argv[2]), argc - 3, argv + 3);
  return usage();
}
