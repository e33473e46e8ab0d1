"""Every drawing of the corpus (dxf_corpus.py) opened and saved unchanged: none changed without a
word, and the figures of each class are the ones kept in tests/data/dxf-corpus.txt, so that a change
in how many drawings are kept byte for byte, repaired or refused is seen and recorded."""
import tempfile
import unittest

import dxf_corpus


class Corpus(unittest.TestCase):
    def test_every_drawing_is_kept_repaired_with_a_word_or_refused_with_a_reason(self):
        with tempfile.TemporaryDirectory() as folder:
            found = dxf_corpus.run(dxf_corpus.every_drawing(folder))
        self.assertEqual(found["silent"], [], "saved otherwise without a warning")
        with open(dxf_corpus.FIGURES) as f:
            kept = f.read()
        listing = "\n".join(f"{kind}: {path}" for kind in ("repaired", "refused") for path, _ in found[kind])
        self.assertEqual(dxf_corpus.figures(found), kept, listing)


if __name__ == "__main__":
    unittest.main()
