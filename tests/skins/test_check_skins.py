#!/usr/bin/env python3
"""The skin check against planted faults: each is copied into a scratch tree
beside the real code, and must fail the check with its file and line."""
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECKER = os.path.join(ROOT, 'scripts', 'check-skins')


def run_check(root, skins):
    result = subprocess.run([sys.executable, CHECKER, root, skins], cwd=root,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return result.returncode, result.stderr


def line_of(path, text):
    with open(path, encoding='utf-8') as skin:
        for number, line in enumerate(skin, 1):
            if text in line:
                return number
    raise AssertionError('%s not in %s' % (text, path))


class SkinCheck(unittest.TestCase):
    def setUp(self):
        # The scratch tree: the real library, a copy of the program and skins.
        self.root = tempfile.mkdtemp(prefix='check-skins-')
        os.symlink(os.path.join(ROOT, 'uilib'), os.path.join(self.root, 'uilib'))
        shutil.copytree(os.path.join(ROOT, 'app'), os.path.join(self.root, 'app'))
        shutil.copytree(os.path.join(ROOT, 'DlgRes'), os.path.join(self.root, 'DlgRes'))
        self.skins = os.path.join(self.root, 'DlgRes')

    def tearDown(self):
        shutil.rmtree(self.root)

    def plant(self, relative, old, new):
        path = os.path.join(self.root, relative)
        with open(path, encoding='utf-8') as source:
            text = source.read()
        self.assertIn(old, text)
        with open(path, 'w', encoding='utf-8') as source:
            source.write(text.replace(old, new, 1))
        return path

    @contextlib.contextmanager
    def planted(self, relative, old, new):
        """The fault planted for the block's length; yields the file's path."""
        path = os.path.join(self.root, relative)
        with open(path, encoding='utf-8') as source:
            shipped = source.read()
        self.plant(relative, old, new)
        try:
            yield path
        finally:
            with open(path, 'w', encoding='utf-8') as source:
                source.write(shipped)

    def assert_fails_at(self, relative, line, words):
        status, errors = run_check(self.root, self.skins)
        self.assertEqual(1, status, errors)
        expected = '%s:%d:' % (relative, line)
        matching = [e for e in errors.splitlines() if e.startswith(expected)]
        self.assertEqual(1, len(matching), errors)
        for word in words:
            self.assertIn(word, matching[0])

    def test_shipped_skins_pass(self):
        status, errors = run_check(self.root, self.skins)
        self.assertEqual(0, status, errors)
        self.assertEqual('', errors)

    def test_misspelt_attributes_fail_with_file_and_line(self):
        cases = [
            # skin, attribute as shipped, as misspelt, the misspelt name, its owner
            ('MessageWnd.xml', 'hotimage="msgbox/close_over.png"', 'hotimag="msgbox/close_over.png"', 'hotimag',
             'CButtonUI'),
            ('RtmpPlayer.xml', 'itemaltbk="true"', 'itemalttbk="true"', 'itemalttbk', 'CPlayListCtrl'),
            ('RtmpPlayer.xml', 'textpadding="6,1,22,1"', 'textpading="6,1,22,1"', 'textpading', 'CComboUI'),
            ('RtmpPlayer.xml', 'mininfo="860,600"', 'mininfos="860,600"', 'mininfos', 'Window'),
            ('MessageWnd.xml', 'size="14"', 'szie="14"', 'szie', 'Font'),
        ]
        for skin, old, new, attribute, owner in cases:
            with self.subTest(new):
                relative = os.path.join('DlgRes', skin)
                with self.planted(relative, old, new) as path:
                    self.assert_fails_at(relative, line_of(path, new), ['"%s"' % attribute, owner])

    def test_misspelt_name_in_a_class_default_list_fails(self):
        path = self.plant('DlgRes/RtmpPlayer.xml', 'maxwidth=&quot;14&quot;', 'maxwdth=&quot;14&quot;')
        self.assert_fails_at('DlgRes/RtmpPlayer.xml', line_of(path, 'maxwdth'), ['maxwdth', 'VScrollBar'])

    def test_unknown_element_fails(self):
        path = self.plant('DlgRes/AboutAppDlg.xml', '<Button ', '<Buton ')
        self.assert_fails_at('DlgRes/AboutAppDlg.xml', line_of(path, '<Buton '), ['<Buton>'])

    def test_program_class_is_known_only_while_the_callback_creates_it(self):
        self.plant('app/RtmpPlayer.cpp', 'L"CPlayListCtrl"', 'L"CPlayList"')
        self.assert_fails_at('DlgRes/RtmpPlayer.xml', line_of(os.path.join(self.skins, 'RtmpPlayer.xml'), '<CPlayListCtrl'),
                             ['<CPlayListCtrl>'])

    def test_looked_up_control_missing_from_its_skin_fails(self):
        self.plant('DlgRes/MessageWnd.xml', 'name="btnCancel"', 'name="btnCancle"')
        source = os.path.join(self.root, 'app', 'MessageWnd.cpp')
        self.assert_fails_at(os.path.join('app', 'MessageWnd.cpp'), line_of(source, 'L"btnCancel"'),
                             ['btnCancel', 'MessageWnd.xml'])

    def test_image_not_where_the_skin_points_fails(self):
        # The loader looks an image up by its path from the skin's root, so
        # an image named outside the folder that holds it is never drawn.
        cases = [
            # skin, as shipped, as planted, the image reported
            ('AboutAppDlg.xml', 'bkimage="about/applogo.png"', 'bkimage="applogo.png"', 'applogo.png'),
            ('AboutAppDlg.xml', 'normalimage="about/blueClose.png"', 'normalimage="main/blueClose.png"',
             'main/blueClose.png'),
            ('MessageWnd.xml', 'bkimage="msgbox/tip.png"', 'bkimage="msgbox/tips.png"', 'msgbox/tips.png'),
            ('RtmpPlayer.xml', "normalimage=\"file='main/opt_normal.png' dest", "normalimage=\"file='opt_normal.png' dest",
             'opt_normal.png'),
            ('RtmpPlayer.xml', 'button1normalimage=&quot;main/v2scrollbar_up.png',
             'button1normalimage=&quot;v2scrollbar_up.png', 'v2scrollbar_up.png'),
        ]
        for skin, old, new, image in cases:
            with self.subTest(new):
                relative = os.path.join('DlgRes', skin)
                with self.planted(relative, old, new) as path:
                    self.assert_fails_at(relative, line_of(path, new), ['image "%s"' % image])

    def test_image_paths_compare_as_the_zip_reader_does(self):
        # Without regard to case, a backslash read as a slash.
        self.plant('DlgRes/AboutAppDlg.xml', 'bkimage="about/applogo.png"', 'bkimage="About\\AppLogo.PNG"')
        status, errors = run_check(self.root, self.skins)
        self.assertEqual(0, status, errors)

    def test_attribute_dropped_from_the_code_fails(self):
        # The accepted names come from the controls' code: a control that no
        # longer reads a key makes the skins that set it fail.
        os.unlink(os.path.join(self.root, 'uilib'))
        shutil.copytree(os.path.join(ROOT, 'uilib'), os.path.join(self.root, 'uilib'))
        self.plant('uilib/controls/OptionUI.cpp', 'L"group"', 'L"groupname"')
        path = os.path.join(self.skins, 'RtmpPlayer.xml')
        status, errors = run_check(self.root, self.skins)
        self.assertEqual(1, status)
        self.assertIn('DlgRes/RtmpPlayer.xml:%d: attribute "group"' % line_of(path, 'name="optType1"'), errors)


if __name__ == '__main__':
    unittest.main()
