"""The not-found message as a person sees it, in the system's language."""

import unittest

from bed import MachineTest
import winebed as wb

ENGLISH = b"A valid copy of Tallowick Server 14v1 or v2\ncould not be found."
GERMAN = b"Eine g\xfcltige Kopie von Tallowick Server 14v1 oder v2\nkonnte nicht gefunden werden."
ITALIAN = b"Impossibile trovare una copia valida\ndi Tallowick Server 14v1 o v2."
FRENCH = b"Aucune copie valide de Tallowick Server\n14v1 ou v2 n'a pu \xeatre trouv\xe9e."
SWEDISH = b"Det gick inte att hitta n\xe5got giltigt exemplar\nav Tallowick Server 14v1 eller v2."
JAPANESE = ("Tallowick Server 14v1 \u307e\u305f\u306f v2\n\u306e\u6709\u52b9\u306a\u30b3\u30d4\u30fc"
            "\u304c\u898b\u3064\u304b\u308a\u307e\u305b\u3093\u3067\u3057\u305f\u3002")

CASES = [  # (LC_ALL, expected text, screenshot)
    ("de_DE", GERMAN.decode("cp1252"), "box-german.png"),
    ("de_LI", GERMAN.decode("cp1252"), None),
    ("fr_FR", FRENCH.decode("cp1252"), None),
    ("fr_CA", FRENCH.decode("cp1252"), None),
    ("it_IT", ITALIAN.decode("cp1252"), None),
    ("it_CH", ITALIAN.decode("cp1252"), None),
    ("ja_JP", JAPANESE, "box-japanese.png"),
    ("sv_SE", SWEDISH.decode("cp1252"), None),
    ("sv_FI", SWEDISH.decode("cp1252"), None),
    ("nl_NL", ENGLISH.decode("cp1252"), None),
    ("es_MX", ENGLISH.decode("cp1252"), None),
    ("es_US", ENGLISH.decode("cp1252"), None),
    ("en_US", ENGLISH.decode("cp1252"), "box-english.png"),
    ("en_GB", ENGLISH.decode("cp1252"), None),
    ("zh_CN", ENGLISH.decode("cp1252"), None),
]

MB_ICONERROR = 0x10


class NotFoundMessage(MachineTest):
    def setUp(self):
        super().setUp()
        # An installation that does not qualify, with stale trees that must stay.
        wb.install_product("14.0.3.301")
        wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", "C:\\Srv\\")
        self.trees = wb.stale_trees("C:\\Srv\\")
        for tree in self.trees:
            wb.make_tree(tree)
        wb.make_package(wb.DRIVE_C / "Upd")

    def test_each_language(self):
        for lang, text, shot in CASES:
            with self.subTest(lang=lang):
                run = wb.run_setup("C:\\Upd\\setup.exe /s", lang=lang + ".UTF-8",
                                   screenshot=shot)
                self.assertExit(run, 1)
                self.assertNotLaunched(run)
                box = run.box
                self.assertIsNotNone(box, run)
                self.assertEqual(box["caption"], "Tallowick Server 14")
                self.assertEqual(box["text"], text)
                self.assertEqual(box["buttons"], "1", box)
                # The one button is OK (its label follows the system's language).
                self.assertIn(["Button", "0x1"], [c[:2] for c in box["children"]])
                self.assertEqual(box["icon"], "1", "the error icon is shown")
                self.assertEqual(int(box["owner"], 16), 0, "no owner window")
                for tree in self.trees:
                    self.assertTrue((tree / "sub" / "b.txt").exists(), tree)
                if shot:
                    self.assertTrue((wb.SHOTS / shot).exists())

    def test_no_box_where_nobody_can_see_it_or_when_quiet(self):
        # A window station of its own, as a service or a deployment agent
        # has: without WSF_VISIBLE a box would wait for a click forever.
        # A quiet run waits for no click either, as msiexec's /qn; /qf is
        # msiexec's level for a person at the screen.
        for tail, station, shown in (("", {"WTOOL_STATION": "1"}, False),
                                     (" /qn /norestart", None, False), (" /qf", None, True)):
            with self.subTest(tail=tail, station=bool(station)):
                run = wb.run_setup("C:\\Upd\\setup.exe" + tail, timeout_ms=20000,
                                   extra_env=station)
                self.assertExit(run, 1)
                self.assertEqual(run.box is not None, shown, run)
                self.assertNotLaunched(run)


if __name__ == "__main__":
    unittest.main()
