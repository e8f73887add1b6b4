#!/usr/bin/env python3
"""scripts/check-layers on a copy of the tree: passes as it stands, and
catches each kind of wrong arrow planted in the copy."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else
                       os.path.join(os.path.dirname(__file__), "..", ".."))
CHECK = os.path.join(ROOT, "scripts", "check-layers")
FOLDERS = ("platform", "s100", "proto", "server", "model", "compare", "common",
           "resources", "tree", "dialogs", "comnmfc", "app", "tools", "cmake")


def copy_tree(into):
    for folder in FOLDERS:
        shutil.copytree(os.path.join(ROOT, folder), os.path.join(into, folder),
                        ignore=shutil.ignore_patterns("bitmaps", "help", "*.ui", "*.bmp"))


def append(root, path, text):
    with open(os.path.join(root, path), "a", encoding="utf-8") as f:
        f.write(text)


def line_count(root, path):
    with open(os.path.join(root, path), encoding="utf-8") as f:
        return len(f.read().splitlines())


class CheckLayers(unittest.TestCase):
    def run_check(self, root):
        result = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
        return result.returncode, result.stdout.splitlines()

    def assert_each_planted_line_is_reported(self, cases, at_line=True):
        """cases: (file, line planted at its end, the one report expected);
        at_line: the report starts with the planted line's place."""
        for path, planted, expected in cases:
            with self.subTest(path=path), tempfile.TemporaryDirectory() as root:
                copy_tree(root)
                append(root, path, planted)
                if at_line:
                    expected = f"{path}:{line_count(root, path)}: {expected}"
                self.assertEqual(self.run_check(root), (1, [expected]))

    def test_the_tree_passes(self):
        code, lines = self.run_check(ROOT)
        self.assertEqual((code, lines), (0, []))

    def test_each_wrong_arrow_is_one_line(self):
        # (file, planted line, the report expected for it)
        cases = [
            ("model/dataelt.cpp", '#include "platform/qtdc.h"\n',
             "target model may not include platform_qt's header platform/qtdc.h"),
            ("platform/cstring.cpp", '#include "platform/qtdc.h"\n',
             "target platform_base may not include platform_qt's header platform/qtdc.h"),
            ("compare/diff.cpp", "#include <QString>\n",
             "target compare may not include Qt <QString>"),
            ("common/registry.cpp", "#include <QtCore/QFile>\n",
             "target common may not include Qt <QtCore>"),
            ("s100/runtime_address.cpp", '#include "server/store.h"\n',
             "target s100_runtime may not include server_core's header server/store.h"),
            ("server/names.cpp", '#include "s100/ctruntime.h"\n',
             "target server_core may not include s100_runtime's header s100/ctruntime.h"),
            ("tree/treenode.cpp", '#include "app/queltview.h"\n',
             "target editor_tree may not include app's header app/queltview.h"),
        ]
        self.assert_each_planted_line_is_reported(cases)

    def test_string_ids_have_one_home_and_one_name(self):
        ids = "resources/stringids.h"
        # (file, planted line, the report expected for it, at that file's last line)
        cases = [
            ("tree/intnode.cpp", "constexpr unsigned IDS_SPARE = 4106;\n",
             "string id IDS_SPARE belongs in resources/stringids.h"),
            ("app/misc.h", "inline constexpr UINT IDS_SPARE = 4106;\n",
             "string id IDS_SPARE belongs in resources/stringids.h"),
            (ids, "inline constexpr unsigned IDS_OUT_OF_MEMORY = 4111;\n",
             "id 4111 named IDS_OUT_OF_MEMORY is already IDS_NO_MEMORY"),
        ]
        self.assert_each_planted_line_is_reported(cases)
        with tempfile.TemporaryDirectory() as root:
            copy_tree(root)
            append(root, ids, "inline constexpr unsigned IDS_NOWHERE = 4999;\n")
            self.assertEqual(self.run_check(root),
                             (1, [f"{ids}:1: IDS_NOWHERE = 4999 has no text in resources/strings.inc"]))

    def test_a_source_in_two_targets_or_a_target_in_two_lists_fails(self):
        cases = [
            ("model/CMakeLists.txt", "add_library(model_again STATIC dataelt.cpp)\n",
             "model/CMakeLists.txt:1: model/dataelt.cpp is compiled into model and model_again"),
            ("compare/CMakeLists.txt", "add_library(model STATIC diff_more.cpp)\n",
             "model/CMakeLists.txt:1: target model is defined in compare/CMakeLists.txt too"),
        ]
        self.assert_each_planted_line_is_reported(cases, at_line=False)

    def test_an_exception_that_no_longer_happens_fails(self):
        with tempfile.TemporaryDirectory() as root:
            copy_tree(root)
            append(root, "cmake/layers.txt", "model/dataelt.cpp -> platform/qtdc.h  # gone\n")
            code, lines = self.run_check(root)
            self.assertEqual(code, 1)
            self.assertEqual(len(lines), 1)
            self.assertIn("exception model/dataelt.cpp -> platform/qtdc.h no longer happens", lines[0])


if __name__ == "__main__":
    unittest.main()
