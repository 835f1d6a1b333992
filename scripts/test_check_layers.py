#!/usr/bin/python3
"""Rows of include lines a core file may or may not hold, each checked by check_layers.py on a small tree."""
import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

# (include line in core/record.h, arrow expected)
ROWS = [
    ('#include "elements/common/formulationCheck.h"', True),
    ('#include <elements/common/formulationCheck.h>', True),
    ('#  include <elements/common/formulationCheck.h>', True),
    ('#include <elements/shell/shell1st.h>', True),
    ('#include <platform/gpuRuntime.h>', False),
    ('#include "nodeRecord.h"', False),
    ('#include <vector>', False),
    ('#include <elements/noSuchHeader.h>', False),
]


class IncludeRows(unittest.TestCase):
    def test_rows(self):
        for line, arrow in ROWS:
            with self.subTest(line=line), tempfile.TemporaryDirectory() as root:
                for name, text in [("platform/gpuRuntime.h", ""), ("core/nodeRecord.h", ""),
                                   ("elements/common/formulationCheck.h", ""), ("elements/shell/shell1st.h", ""),
                                   ("core/record.h", line + "\n")]:
                    os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
                    with open(os.path.join(root, name), "w", encoding="utf-8") as out:
                        out.write(text)
                self.assertEqual(len(check_layers.upward_includes(root)), 1 if arrow else 0)


if __name__ == "__main__":
    unittest.main()
