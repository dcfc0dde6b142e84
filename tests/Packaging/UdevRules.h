#pragma once

// A reader of udev rules files as udev itself reads them (lines, line
// continuations, KEY[{attribute}]OPERATOR"value" tokens, the operators each
// key takes, GOTO and LABEL, substitutions), and a small interpreter that
// runs a file's rules over a described device, for the checks of the
// package's rule. Debian 12's udev has no "udevadm verify"; this stands in
// for it, with the subset of udev that rules of this kind use.

#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <vector>

namespace udevrules {

struct sToken {
  QString mKey;
  QString mAttribute;
  QString mOperator;
  QString mValue;
  bool IsMatch() const { return mOperator == "==" || mOperator == "!="; }
};

struct sRule {
  int mLine = 0;
  std::vector<sToken> mTokens;
};

struct sKeySpec {
  const char* mName;
  bool mMatch;     // takes == and !=
  bool mAssign;    // takes = and :=
  bool mList;      // takes += and -=
  int mAttribute;  // 0 none, 1 required, 2 optional
  bool mParent;    // matched against the device or one of its parents
};

// udev(7)'s keys.
inline const sKeySpec* FindKey(const QString& name) {
  static const sKeySpec kKeys[] = {
      {"ACTION", true, false, false, 0, false},
      {"DEVPATH", true, false, false, 0, false},
      {"KERNEL", true, false, false, 0, false},
      {"KERNELS", true, false, false, 0, true},
      {"SUBSYSTEM", true, false, false, 0, false},
      {"SUBSYSTEMS", true, false, false, 0, true},
      {"DRIVER", true, false, false, 0, false},
      {"DRIVERS", true, false, false, 0, true},
      {"ATTRS", true, false, false, 1, true},
      {"TAGS", true, false, false, 0, true},
      {"TEST", true, false, false, 2, false},
      {"PROGRAM", true, false, false, 0, false},
      {"RESULT", true, false, false, 0, false},
      {"CONST", true, false, false, 1, false},
      {"SYSCTL", true, true, false, 1, false},
      {"ATTR", true, true, false, 1, false},
      {"ENV", true, true, true, 1, false},
      {"TAG", true, true, true, 0, false},
      {"NAME", true, true, false, 0, false},
      {"SYMLINK", true, true, true, 0, false},
      {"OWNER", false, true, false, 0, false},
      {"GROUP", false, true, false, 0, false},
      {"MODE", false, true, false, 0, false},
      {"SECLABEL", false, true, true, 1, false},
      {"RUN", false, true, true, 2, false},
      {"OPTIONS", false, true, true, 0, false},
      {"LABEL", false, true, false, 0, false},
      {"GOTO", false, true, false, 0, false},
      // IMPORT is a match; udev takes "=" for it as well, as most rules write it.
      {"IMPORT", true, true, false, 1, false},
  };
  for (const sKeySpec& key : kKeys) {
    if (name == QLatin1String(key.mName)) return &key;
  }
  return nullptr;
}

inline bool IsParentKey(const sToken& token) { return FindKey(token.mKey)->mParent; }

inline bool HasLabel(const sRule& rule, const QString& label) {
  for (const sToken& token : rule.mTokens) {
    if (token.mKey == "LABEL" && token.mValue == label) return true;
  }
  return false;
}

// A value's substitutions: $env{NAME}, $attr{NAME} / %s{NAME}, %k / $kernel,
// %n / $number, %% and $$.
inline bool CheckSubstitutions(const QString& value, QString& error) {
  static const QRegularExpression kSubstitution(
      R"(\$(env|attr)\{[A-Za-z0-9_./-]+\}|%s\{[A-Za-z0-9_./-]+\}|%[kn%]|\$(kernel|number|\$))");
  QString rest = value;
  rest.remove(kSubstitution);
  if (rest.contains('%') || rest.contains('$')) {
    error = "unknown substitution in \"" + value + "\"";
    return false;
  }
  return true;
}

// The rules of one file; false with the line and fault on the first error,
// as udev reports it (udev skips such a line and every token after the fault).
inline bool Parse(const QString& text, std::vector<sRule>& rules, QString& error) {
  static const QRegularExpression kToken(R"(^([A-Z]+)(\{([^}]*)\})?(==|!=|\+=|-=|:=|=)\"((?:[^"\\]|\\.)*)\")");
  static const QStringList kBuiltins{"usb_id", "path_id", "hwdb", "input_id", "blkid", "net_id", "kmod", "uaccess"};
  static const QStringList kOptions{"link_priority", "string_escape", "static_node", "watch",
                                    "nowatch",       "db_persist",    "log_level"};
  rules.clear();
  const QStringList lines = text.split('\n');
  QList<QPair<int, QString>> gotos;
  for (int i = 0; i < lines.size(); ++i) {
    const int number = i + 1;
    QString line = lines.at(i);
    while (line.endsWith('\\') && i + 1 < lines.size()) line = line.chopped(1) + lines.at(++i);
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    sRule rule;
    rule.mLine = number;
    QStringView rest(line);
    for (;;) {
      while (!rest.isEmpty() && (rest.front().isSpace() || rest.front() == ',')) rest = rest.mid(1);
      if (rest.isEmpty()) break;
      const QRegularExpressionMatch match = kToken.match(rest.toString());
      const auto fail = [&](const QString& what) {
        error = QString("line %1: %2").arg(number).arg(what);
        return false;
      };
      if (!match.hasMatch()) return fail("no KEY OPERATOR \"value\" at \"" + rest.toString() + "\"");
      rest = rest.mid(match.capturedLength());
      if (!rest.isEmpty() && !rest.front().isSpace() && rest.front() != ',') {
        return fail("no separator after \"" + match.captured(0) + "\"");
      }
      sToken token{match.captured(1), match.captured(3), match.captured(4), match.captured(5)};
      const sKeySpec* key = FindKey(token.mKey);
      if (key == nullptr) return fail("unknown key " + token.mKey);
      const bool hasAttribute = !match.captured(2).isEmpty();
      if ((key->mAttribute == 1 && token.mAttribute.isEmpty()) || (key->mAttribute == 0 && hasAttribute)) {
        return fail(token.mKey + (hasAttribute ? " takes no attribute" : " needs an attribute"));
      }
      const QString& op = token.mOperator;
      const bool allowed = (token.IsMatch() && key->mMatch) || ((op == "=" || op == ":=") && key->mAssign) ||
                           ((op == "+=" || op == "-=") && key->mList);
      if (!allowed || ((token.mKey == "GOTO" || token.mKey == "LABEL" || token.mKey == "IMPORT") && op == ":=")) {
        return fail(token.mKey + " does not take " + op);
      }
      if (token.mKey == "GOTO") gotos.append({number, token.mValue});
      if (token.mKey == "IMPORT" && token.mAttribute == "builtin" &&
          !kBuiltins.contains(token.mValue.section(' ', 0, 0))) {
        return fail("unknown builtin " + token.mValue);
      }
      if (token.mKey == "IMPORT" &&
          !QStringList{"builtin", "program", "file", "db", "cmdline", "parent"}.contains(token.mAttribute)) {
        return fail("unknown import " + token.mAttribute);
      }
      if (token.mKey == "OPTIONS" && !kOptions.contains(token.mValue.section('=', 0, 0))) {
        return fail("unknown option " + token.mValue);
      }
      QString substitution;
      if (!token.IsMatch() && !CheckSubstitutions(token.mValue, substitution)) return fail(substitution);
      rule.mTokens.push_back(token);
    }
    rules.push_back(rule);
  }
  for (const auto& [line, label] : gotos) {
    // udev jumps forward only.
    bool found = false;
    for (const sRule& rule : rules) found = found || (rule.mLine > line && HasLabel(rule, label));
    if (!found) {
      error = QString("line %1: GOTO=\"%2\" has no LABEL after it").arg(line).arg(label);
      return false;
    }
  }
  return true;
}

// A device as sysfs shows it: subsystem, kernel name, attributes.
struct sDevice {
  QString mSubsystem;
  QString mKernel;
  QMap<QString, QString> mAttributes;
};

// One uevent: the device and its parents outward, the properties earlier
// rules files left, and what this file's rules add.
struct sEvent {
  QString mAction = "add";
  std::vector<sDevice> mChain;
  QMap<QString, QString> mProperties;
  QStringList mTags;
  QStringList mSymlinks;
};

inline bool Glob(const QString& pattern, const QString& value) {
  for (const QString& alternative : pattern.split('|')) {
    if (alternative.isEmpty() ? value.isEmpty()
                              : QRegularExpression(QRegularExpression::wildcardToRegularExpression(alternative))
                                    .match(value)
                                    .hasMatch()) {
      return true;
    }
  }
  return false;
}

inline QString Substitute(const QString& value, const sEvent& event, const sDevice& attributes) {
  QString kernelNumber = event.mChain.front().mKernel;
  kernelNumber.remove(QRegularExpression("^.*[^0-9]"));
  QString out = value;
  const QRegularExpression named(R"(\$(env|attr)\{([^}]+)\}|%s\{([^}]+)\})");
  QRegularExpressionMatch match;
  while ((match = named.match(out)).hasMatch()) {
    const QString replacement = match.captured(1) == "env"
                                    ? event.mProperties.value(match.captured(2))
                                    : attributes.mAttributes.value(match.captured(2) + match.captured(3));
    out.replace(match.capturedStart(), match.capturedLength(), replacement);
  }
  out.replace("%k", event.mChain.front().mKernel).replace("$kernel", event.mChain.front().mKernel);
  out.replace("%n", kernelNumber).replace("$number", kernelNumber);
  return out;
}

// What udev's usb_id builtin gives a device below a USB device.
inline bool ImportUsbId(sEvent& event) {
  for (const sDevice& device : event.mChain) {
    if (device.mSubsystem != "usb" || !device.mAttributes.contains("idVendor")) continue;
    event.mProperties["ID_VENDOR_ID"] = device.mAttributes.value("idVendor");
    event.mProperties["ID_MODEL_ID"] = device.mAttributes.value("idProduct");
    // Blanks trimmed, runs of blanks made one "_", other unsafe characters "_".
    QString serial = device.mAttributes.value("serial").trimmed();
    serial.replace(QRegularExpression(R"(\s+)"), "_").replace(QRegularExpression("[^0-9A-Za-z#+.:=@_-]"), "_");
    if (!serial.isEmpty()) event.mProperties["ID_SERIAL_SHORT"] = serial;
    return true;
  }
  return false;
}

// Whether a match of the device itself (not of a parent) holds. IMPORT
// imports as it is evaluated.
inline bool Holds(const sToken& token, sEvent& event) {
  const sDevice& device = event.mChain.front();
  bool holds = false;
  if (token.mKey == "ACTION") holds = Glob(token.mValue, event.mAction);
  if (token.mKey == "SUBSYSTEM") holds = Glob(token.mValue, device.mSubsystem);
  if (token.mKey == "KERNEL") holds = Glob(token.mValue, device.mKernel);
  if (token.mKey == "ENV") holds = Glob(token.mValue, event.mProperties.value(token.mAttribute));
  if (token.mKey == "ATTR") holds = Glob(token.mValue, device.mAttributes.value(token.mAttribute));
  if (token.mKey == "TAG") holds = event.mTags.contains(token.mValue);
  if (token.mKey == "IMPORT") holds = token.mAttribute == "builtin" && token.mValue == "usb_id" && ImportUsbId(event);
  return token.mOperator == "!=" ? !holds : holds;
}

// The first device, from the device itself outward, on which every parent
// key of the rule holds; its attributes serve %s{...}. The device itself
// when the rule has no parent keys, null when no device fits.
inline const sDevice* MatchingParent(const sRule& rule, const sEvent& event) {
  for (const sDevice& candidate : event.mChain) {
    bool all = true;
    for (const sToken& token : rule.mTokens) {
      if (!IsParentKey(token)) continue;
      bool holds = false;
      if (token.mKey == "SUBSYSTEMS") holds = Glob(token.mValue, candidate.mSubsystem);
      if (token.mKey == "KERNELS") holds = Glob(token.mValue, candidate.mKernel);
      if (token.mKey == "ATTRS") {
        holds = candidate.mAttributes.contains(token.mAttribute) &&
                Glob(token.mValue, candidate.mAttributes.value(token.mAttribute));
      }
      all = all && (token.mOperator == "!=" ? !holds : holds);
    }
    if (all) return &candidate;
  }
  return nullptr;
}

// A list key's assignment: "=" and ":=" replace what earlier rules set,
// "+=" adds, "-=" removes.
inline void Assign(QStringList& list, const QString& op, const QStringList& values) {
  if (op == "=" || op == ":=") list.clear();
  for (const QString& value : values) {
    if (op == "-=") {
      list.removeAll(value);
    } else if (!list.contains(value)) {
      list << value;
    }
  }
}

// The rules run over the event as udev runs them: a rule applies when its
// matches hold, in order, stopping at the first that does not (the parent
// keys together, on one device of the chain); then its assignments apply in
// order, and a GOTO goes on after its LABEL.
inline void Run(const std::vector<sRule>& rules, sEvent& event) {
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const sRule& rule = rules[i];
    bool matched = true;
    for (const sToken& token : rule.mTokens) {
      if ((token.IsMatch() || token.mKey == "IMPORT") && !IsParentKey(token) && !Holds(token, event)) {
        matched = false;
        break;
      }
    }
    const sDevice* parent = matched ? MatchingParent(rule, event) : nullptr;
    if (parent == nullptr) continue;
    QString jump;
    for (const sToken& token : rule.mTokens) {
      if (token.IsMatch() || token.mKey == "IMPORT") continue;
      const QString value = Substitute(token.mValue, event, *parent);
      if (token.mKey == "ENV") event.mProperties[token.mAttribute] = value;
      if (token.mKey == "TAG") Assign(event.mTags, token.mOperator, {value});
      if (token.mKey == "SYMLINK") Assign(event.mSymlinks, token.mOperator, value.split(' ', Qt::SkipEmptyParts));
      if (token.mKey == "GOTO") jump = value;
    }
    if (jump.isEmpty()) continue;
    std::size_t label = i + 1;
    while (label < rules.size() && !HasLabel(rules[label], jump)) ++label;
    i = label;  // the loop's step moves past the label
  }
}

}  // namespace udevrules
