#!/usr/bin/env python3
"""Checks that the production folders include only downwards.

Order, bottom to top: text -> net -> sites -> app -> cli. ui sits beside net
and sites: above text, below app, and neither it nor they include the other.
A production file may include its own layer and the layers below it; no
production file includes tests/, tools/ or bench/ (those may use anything and
are not checked). Includes outside the tree (system and library headers) are
not the tree's business.

  layer_check.py ROOT          check ROOT; list every upward include as
                               file:line: message and exit 1 when there is one
  layer_check.py --self-test   check a small planted tree and compare
"""
import os
import re
import sys
import tempfile

# What each production layer may include (besides itself).
ALLOWED = {
    "text": {"text"},
    "net": {"text", "net"},
    "sites": {"text", "net", "sites"},
    "ui": {"text", "ui"},
    "app": {"text", "net", "sites", "ui", "app"},
    "cli": {"text", "net", "sites", "ui", "app", "cli"},
}
# Folders that may use anything but that production code must not reach.
NON_PRODUCTION = {"tests", "tools", "bench"}
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def layer_of(path_in_tree):
    head = path_in_tree.replace("\\", "/").split("/", 1)[0]
    if head in ALLOWED or head in NON_PRODUCTION:
        return head
    return None


def included_layer(root, including_dir, delimiter, target):
    """The layer an include names, or None when it is outside the tree."""
    target = target.replace("\\", "/")
    if delimiter == '"':
        local = os.path.normpath(os.path.join(including_dir, target))
        if os.path.exists(local):
            return layer_of(os.path.relpath(local, root))
    if os.path.exists(os.path.join(root, target)):
        return layer_of(target)
    # A header not (yet) in the tree but spelled with a layer prefix still
    # says where it wants to reach.
    head = target.split("/", 1)[0]
    if "/" in target and (head in ALLOWED or head in NON_PRODUCTION):
        return head
    return None


def check(root):
    problems = []
    for layer in sorted(ALLOWED):
        top = os.path.join(root, layer)
        for folder, dirs, files in os.walk(top):
            dirs.sort()
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(folder, name)
                shown = os.path.relpath(path, root).replace("\\", "/")
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = included_layer(root, folder, match.group(1), match.group(2))
                        if target is None or target in ALLOWED[layer]:
                            continue
                        if target in NON_PRODUCTION:
                            why = "production code must not include %s/" % target
                        elif layer in ALLOWED[target]:
                            why = "%s/ is above %s/" % (target, layer)
                        else:
                            why = "%s/ and %s/ sit beside each other" % (target, layer)
                        problems.append("%s:%d: includes %s: %s" % (shown, number, match.group(2), why))
    return problems


def self_test():
    planted = {
        "text/text.h": '#include <string>\n',
        "text/regex/regex.cpp": '#include "text/text.h"\n#include "local.h"\n',
        "text/regex/local.h": '\n',
        "net/http.h": '#include "text/text.h"\n#include <curl/curl.h>\n',
        "sites/site.h": '#include "net/http.h"\n  #  include "app/core/view.h"\n',
        "sites/site.cpp": '#include "ui/base.h"\n#include "tests/common/test_paths.h"\n',
        "ui/base.h": '#include "text/text.h"\n#include "sites/site.h"\n',
        "app/core/view.h": '#include "sites/site.h"\n#include "ui/base.h"\n#include "cli/cli.h"\n',
        "app/win/main.rc": '#include "../core/view.h"\n',
        "cli/cli.h": '#include "app/core/view.h"\n#include "ui/base.h"\n',
        "tests/x_test.cpp": '#include "cli/cli.h"\n',
    }
    expected = [
        "app/core/view.h:3: includes cli/cli.h: cli/ is above app/",
        "sites/site.cpp:1: includes ui/base.h: ui/ and sites/ sit beside each other",
        "sites/site.cpp:2: includes tests/common/test_paths.h: production code must not include tests/",
        "sites/site.h:2: includes app/core/view.h: app/ is above sites/",
        "ui/base.h:2: includes sites/site.h: sites/ and ui/ sit beside each other",
    ]
    with tempfile.TemporaryDirectory() as root:
        for path, body in planted.items():
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as out:
                out.write(body)
        found = check(root)
    if found != expected:
        print("layer check self-test failed\nfound:\n  " + "\n  ".join(found) +
              "\nexpected:\n  " + "\n  ".join(expected))
        return 1
    print("layer check self-test: %d planted upward includes found, nothing else" % len(expected))
    return 0


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        return self_test()
    if len(argv) != 2:
        print(__doc__)
        return 2
    problems = check(argv[1])
    for problem in problems:
        print(problem)
    if problems:
        print("%d upward include(s)" % len(problems))
        return 1
    print("every include of %s points down" % ", ".join(sorted(ALLOWED)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
