// Standard table layouts, collected from the column definitions of real packages made by
// several authoring tools. Where two layouts have the same number of columns, the one of
// current installer versions comes first (4-byte File.Sequence and Media.LastSequence).
#include "engine/mst/standard_tables.h"

#include <algorithm>
#include <sstream>
#include <string>

namespace msi::mst {
namespace {

struct Layout {
  const char* table;
  const char* names;        // column names, space-separated
  const char* definitions;  // column definitions (s72, I2, ...), space-separated
  const char* keys;         // the table name, then its key columns
};

const Layout kLayouts[] = {
    {"ActionText", "Action Description Template", "s72 L0 L0", "ActionText Action"},
    {"AdminExecuteSequence", "Action Condition Sequence", "s72 S255 I2", "AdminExecuteSequence Action"},
    {"AdminUISequence", "Action Condition Sequence", "s72 S255 I2", "AdminUISequence Action"},
    {"AdvtExecuteSequence", "Action Condition Sequence", "s72 S255 I2", "AdvtExecuteSequence Action"},
    {"AdvtUISequence", "Action Condition Sequence", "s72 S255 I2", "AdvtUISequence Action"},
    {"AppId", "AppId RemoteServerName LocalService ServiceParameters DllSurrogate ActivateAtStorage RunAsInteractiveUser", "s38 S255 S255 S255 S255 I2 I2", "AppId AppId"},
    {"AppSearch", "Property Signature_", "s72 s72", "AppSearch Property Signature_"},
    {"BBControl", "Billboard_ BBControl Type X Y Width Height Attributes Text", "s50 s50 s50 i2 i2 i2 i2 I4 L50", "BBControl Billboard_ BBControl"},
    {"Billboard", "Billboard Feature_ Action Ordering", "s50 s38 S50 I2", "Billboard Billboard"},
    {"Binary", "Name Data", "s72 v0", "Binary Name"},
    {"BindImage", "File_ Path", "s72 S255", "BindImage File_"},
    {"CCPSearch", "Signature_", "s72", "CCPSearch Signature_"},
    {"CheckBox", "Property Value", "s72 S64", "CheckBox Property"},
    {"Class", "CLSID Context Component_ ProgId_Default Description AppId_ FileTypeMask Icon_ IconIndex DefInprocHandler Argument Feature_ Attributes", "s38 s32 s72 S255 L255 S38 S255 S72 I2 S32 S255 s38 I2", "Class CLSID Context Component_"},
    {"ComboBox", "Property Order Value Text", "s72 i2 s64 L64", "ComboBox Property Order"},
    {"CompLocator", "Signature_ ComponentId Type", "s72 s38 I2", "CompLocator Signature_"},
    {"Complus", "Component_ ExpType", "s72 I2", "Complus Component_ ExpType"},
    {"Component", "Component ComponentId Directory_ Attributes Condition KeyPath", "s72 S38 s72 i2 S255 S72", "Component Component"},
    {"Condition", "Feature_ Level Condition", "s38 i2 S255", "Condition Feature_ Level"},
    {"ControlCondition", "Dialog_ Control_ Action Condition", "s72 s50 s50 s255", "ControlCondition Dialog_ Control_ Action Condition"},
    {"ControlEvent", "Dialog_ Control_ Event Argument Condition Ordering", "s72 s50 s50 s255 S255 I2", "ControlEvent Dialog_ Control_ Event Argument Condition"},
    {"Control", "Dialog_ Control Type X Y Width Height Attributes Property Text Control_Next Help", "s72 s50 s20 i2 i2 i2 i2 I4 S50 L0 S50 L50", "Control Dialog_ Control"},
    {"Control", "Dialog_ Control Type X Y Width Height Attributes Property Text Control_Next Help", "s72 s50 s20 i2 i2 i2 i2 I4 S72 L0 S50 L50", "Control Dialog_ Control"},
    {"CreateFolder", "Directory_ Component_", "s72 s72", "CreateFolder Directory_ Component_"},
    {"CustomAction", "Action Type Source Target ExtendedType", "s72 i2 S72 S255 I4", "CustomAction Action"},
    {"CustomAction", "Action Type Source Target", "s72 i2 S72 S255", "CustomAction Action"},
    {"Dialog", "Dialog HCentering VCentering Width Height Attributes Title Control_First Control_Default Control_Cancel", "s72 i2 i2 i2 i2 I4 L128 s50 S50 S50", "Dialog Dialog"},
    {"Directory", "Directory Directory_Parent DefaultDir", "s72 S72 l255", "Directory Directory"},
    {"DrLocator", "Signature_ Parent Path Depth", "s72 S72 S255 I2", "DrLocator Signature_ Parent Path"},
    {"DuplicateFile", "FileKey Component_ File_ DestName DestFolder", "s72 s72 s72 L255 S72", "DuplicateFile FileKey"},
    {"Environment", "Environment Name Value Component_", "s72 l255 L255 s72", "Environment Environment"},
    {"Error", "Error Message", "i2 L0", "Error Error"},
    {"EventMapping", "Dialog_ Control_ Event Attribute", "s72 s50 s50 s50", "EventMapping Dialog_ Control_ Event"},
    {"Extension", "Extension Component_ ProgId_ MIME_ Feature_", "s255 s72 S255 S64 s38", "Extension Extension Component_"},
    {"FeatureComponents", "Feature_ Component_", "s38 s72", "FeatureComponents Feature_ Component_"},
    {"Feature", "Feature Feature_Parent Title Description Display Level Directory_ Attributes", "s38 S38 L64 L255 I2 i2 S72 i2", "Feature Feature"},
    {"FileSFPCatalog", "File_ SFPCatalog_", "s72 s255", "FileSFPCatalog File_ SFPCatalog_"},
    {"File", "File Component_ FileName FileSize Version Language Attributes Sequence", "s72 s72 l255 i4 S72 S20 I2 i4", "File File"},
    {"File", "File Component_ FileName FileSize Version Language Attributes Sequence", "s72 s72 l255 i4 S72 S20 I2 i2", "File File"},
    {"Font", "File_ FontTitle", "s72 S128", "Font File_"},
    {"Icon", "Name Data", "s72 v0", "Icon Name"},
    {"IniFile", "IniFile FileName DirProperty Section Key Value Action Component_", "s72 l255 S72 l96 l128 l255 i2 s72", "IniFile IniFile"},
    {"IniLocator", "Signature_ FileName Section Key Field Type", "s72 s255 s96 s128 I2 I2", "IniLocator Signature_"},
    {"InstallExecuteSequence", "Action Condition Sequence", "s72 S255 I2", "InstallExecuteSequence Action"},
    {"InstallUISequence", "Action Condition Sequence", "s72 S255 I2", "InstallUISequence Action"},
    {"IsolatedComponent", "Component_Shared Component_Application", "s72 s72", "IsolatedComponent Component_Shared Component_Application"},
    {"LaunchCondition", "Condition Description", "s255 l255", "LaunchCondition Condition"},
    {"ListBox", "Property Order Value Text", "s72 i2 s64 L64", "ListBox Property Order"},
    {"ListView", "Property Order Value Text Binary_", "s72 i2 s64 L64 S72", "ListView Property Order"},
    {"LockPermissions", "LockObject Table Domain User Permission", "s72 s32 S255 s255 I4", "LockPermissions LockObject Table Domain User"},
    {"MIME", "ContentType Extension_ CLSID", "s64 s255 S38", "MIME ContentType"},
    {"Media", "DiskId LastSequence DiskPrompt Cabinet VolumeLabel Source", "i2 i4 L64 S255 S32 S72", "Media DiskId"},
    {"Media", "DiskId LastSequence DiskPrompt Cabinet VolumeLabel Source", "i2 i2 L64 S255 S32 S72", "Media DiskId"},
    {"ModuleComponents", "Component ModuleID Language", "s72 s72 i2", "ModuleComponents Component ModuleID Language"},
    {"ModuleInstallExecuteSequence", "Action Sequence BaseAction After Condition", "s64 I2 S64 I2 S255", "ModuleInstallExecuteSequence Action"},
    {"ModuleSignature", "ModuleID Language Version", "s72 i2 s32", "ModuleSignature ModuleID Language"},
    {"MoveFile", "FileKey Component_ SourceName DestName SourceFolder DestFolder Options", "s72 s72 L255 L255 S72 s72 i2", "MoveFile FileKey"},
    {"MsiAssemblyName", "Component_ Name Value", "s72 s255 s255", "MsiAssemblyName Component_ Name"},
    {"MsiAssembly", "Component_ Feature_ File_Manifest File_Application Attributes", "s72 s38 S72 S72 I2", "MsiAssembly Component_"},
    {"MsiDigitalCertificate", "DigitalCertificate CertData", "s72 v0", "MsiDigitalCertificate DigitalCertificate"},
    {"MsiDigitalSignature", "Table SignObject DigitalCertificate_ Hash", "s32 s72 s72 V0", "MsiDigitalSignature Table SignObject"},
    {"MsiFileHash", "File_ Options HashPart1 HashPart2 HashPart3 HashPart4", "s72 i2 i4 i4 i4 i4", "MsiFileHash File_"},
    {"MsiPatchHeaders", "StreamRef Header", "s38 v0", "MsiPatchHeaders StreamRef"},
    {"ODBCAttribute", "Driver_ Attribute Value", "s72 s40 L255", "ODBCAttribute Driver_ Attribute"},
    {"ODBCDataSource", "DataSource Component_ Description DriverDescription Registration", "s72 s72 s255 s255 i2", "ODBCDataSource DataSource"},
    {"ODBCDriver", "Driver Component_ Description File_ File_Setup", "s72 s72 s255 s72 S72", "ODBCDriver Driver"},
    {"ODBCSourceAttribute", "DataSource_ Attribute Value", "s72 s32 L255", "ODBCSourceAttribute DataSource_ Attribute"},
    {"ODBCTranslator", "Translator Component_ Description File_ File_Setup", "s72 s72 s255 s72 S72", "ODBCTranslator Translator"},
    {"PatchPackage", "PatchId Media_", "s38 i2", "PatchPackage PatchId"},
    {"Patch", "File_ Sequence PatchSize Attributes Header StreamRef_", "s72 i2 i4 i2 V0 S38", "Patch File_ Sequence"},
    {"ProgId", "ProgId ProgId_Parent Class_ Description Icon_ IconIndex", "s255 S255 S38 L255 S72 I2", "ProgId ProgId"},
    {"Property", "Property Value", "s72 l0", "Property Property"},
    {"PublishComponent", "ComponentId Qualifier Component_ AppData Feature_", "s38 s255 s72 L255 s38", "PublishComponent ComponentId Qualifier Component_"},
    {"RadioButton", "Property Order Value X Y Width Height Text Help", "s72 i2 s64 i2 i2 i2 i2 L0 L50", "RadioButton Property Order"},
    {"RadioButton", "Property Order Value X Y Width Height Text Help", "s72 i2 s64 i2 i2 i2 i2 L64 L50", "RadioButton Property Order"},
    {"RegLocator", "Signature_ Root Key Name Type", "s72 i2 s255 S255 I2", "RegLocator Signature_"},
    {"Registry", "Registry Root Key Name Value Component_", "s72 i2 l255 L255 L0 s72", "Registry Registry"},
    {"RemoveFile", "FileKey Component_ FileName DirProperty InstallMode", "s72 s72 L255 s72 i2", "RemoveFile FileKey"},
    {"RemoveIniFile", "RemoveIniFile FileName DirProperty Section Key Value Action Component_", "s72 l255 S72 l96 l128 L255 i2 s72", "RemoveIniFile RemoveIniFile"},
    {"RemoveRegistry", "RemoveRegistry Root Key Name Component_", "s72 i2 l255 L255 s72", "RemoveRegistry RemoveRegistry"},
    {"ReserveCost", "ReserveKey Component_ ReserveFolder ReserveLocal ReserveSource", "s72 s72 S72 i4 i4", "ReserveCost ReserveKey"},
    {"SFPCatalog", "SFPCatalog Catalog Dependency", "s255 v0 S0", "SFPCatalog SFPCatalog"},
    {"SelfReg", "File_ Cost", "s72 I2", "SelfReg File_"},
    {"ServiceControl", "ServiceControl Name Event Arguments Wait Component_", "s72 l255 i2 L255 I2 s72", "ServiceControl ServiceControl"},
    {"ServiceInstall", "ServiceInstall Name DisplayName ServiceType StartType ErrorControl LoadOrderGroup Dependencies StartName Password Arguments Component_ Description", "s72 s255 L255 i4 i4 i4 S255 S255 S255 S255 S255 s72 L255", "ServiceInstall ServiceInstall"},
    {"Shortcut", "Shortcut Directory_ Name Component_ Target Arguments Description Hotkey Icon_ IconIndex ShowCmd WkDir DisplayResourceDLL DisplayResourceId DescriptionResourceDLL DescriptionResourceId", "s72 s72 l128 s72 s72 S255 L255 I2 S72 I2 I2 S72 S255 I2 S255 I2", "Shortcut Shortcut"},
    {"Shortcut", "Shortcut Directory_ Name Component_ Target Arguments Description Hotkey Icon_ IconIndex ShowCmd WkDir", "s72 s72 l128 s72 s72 S255 L255 I2 S72 I2 I2 S72", "Shortcut Shortcut"},
    {"Signature", "Signature FileName MinVersion MaxVersion MinSize MaxSize MinDate MaxDate Languages", "s72 s255 S20 S20 I4 I4 I4 I4 S255", "Signature Signature"},
    {"TextStyle", "TextStyle FaceName Size Color StyleBits", "s72 s32 i2 I4 I2", "TextStyle TextStyle"},
    {"TypeLib", "LibID Language Component_ Version Description Directory_ Feature_ Cost", "s38 i2 s72 I4 L128 S72 s38 I4", "TypeLib LibID Language Component_"},
    {"UIText", "Key Text", "s72 L255", "UIText Key"},
    {"Upgrade", "UpgradeCode VersionMin VersionMax Language Attributes Remove ActionProperty", "s38 S20 S20 S255 i4 S255 s72", "Upgrade UpgradeCode VersionMin VersionMax Language Attributes"},
    {"Verb", "Extension_ Verb Sequence Command Argument", "s255 s32 I2 L255 L255", "Verb Extension_ Verb"},
};

std::vector<std::string> words(const char* text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

}  // namespace

std::vector<std::vector<Column>> standardLayouts(std::string_view table) {
  std::vector<std::vector<Column>> out;
  for (const Layout& l : kLayouts) {
    if (table != l.table) continue;
    const auto names = words(l.names);
    const auto defs = words(l.definitions);
    auto keys = words(l.keys);
    if (!keys.empty()) keys.erase(keys.begin());
    std::vector<Column> columns;
    for (std::size_t i = 0; i < names.size() && i < defs.size(); ++i) {
      Column c = Column::fromDefinition(names[i], defs[i]);
      c.key = std::find(keys.begin(), keys.end(), names[i]) != keys.end();
      columns.push_back(std::move(c));
    }
    out.push_back(std::move(columns));
  }
  // Longer layouts first: a newer layout's records would not decode with an older one.
  std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
  return out;
}

}  // namespace msi::mst
