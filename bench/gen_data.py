#!/usr/bin/env python3
"""Generates the benchmark data from the corpus of real NF-e documents.

  gen_data.py folder DIR [--count 5000] [--seed 1]
      A download folder: DIR/<key>-procNFe.xml files, a few KB to ~200 KB,
      each an authorised corpus NF-e given a new access key (and grown by
      cloning its items when it has to be larger). The wanted key is printed
      on standard output; its file is the one that sorts last.

      --max-size caps the sizes (a larger folder of smaller files); --size
      makes every file about that size, from the documents no larger.

  gen_data.py nfce DIR [--count 2000] [--seed 1]
      A folder of NFC-e (model 65, the QR code in a CDATA section), each an
      authorised corpus NFC-e given a new access key. Prints the key of the
      file that sorts last; the mean size goes to standard error.

  gen_data.py events DIR --key KEY
      Two event files for KEY beside the documents of DIR, named to sort
      after them: a correction letter (110110) and a cancellation (110111),
      both registered (cStat 135).

  gen_data.py items FILE --items N [--key KEY]
      One authorised NF-e with N items, made by cloning the `det` elements of
      a corpus NF-e and numbering them 1..N. Prints the access key.

  gen_data.py hostile FILE --kind KIND --count N
      A hostile file: KIND "attributes" (N attributes on one element),
      "names" (N distinct element names), "items" (the authorised NF-e with N
      `det` items that hold a product and nothing else), "entities" (a
      document type declaration and N references to an entity made of
      references, no key) or "defaults" (2,000 attribute defaults declared
      for an element written N times).

Nothing here is committed: the data is generated under a temporary folder.
"""
import argparse
import os
import random
import re
import sys

# The folder of real documents (with MANIFEST.tsv), named by IDF_CORPUS_DIR.
CORPUS = os.environ.get("IDF_CORPUS_DIR", "")

# The item source for the large invoice: minified, 21 items of ~1.2 KB.
ITEMS_SOURCE = "nfe/edocpdf-nfe400-35-1808-47450-min.xml"

DET_RE = re.compile(rb"<det nItem=\"\d+\">.*?</det>", re.S)


def authorised_nfe(model="55"):
    """(path, key) of the corpus NF-e documents of the model with protocol and
    cStat 100, without a cancellation appended."""
    out = []
    with open(os.path.join(CORPUS, "MANIFEST.tsv"), encoding="utf-8") as manifest:
        header = manifest.readline().rstrip("\n").split("\t")
        for line in manifest:
            row = dict(zip(header, line.rstrip("\n").split("\t")))
            if row["doc_type"] != "nfe" or row["has_protocol"] != "yes":
                continue
            if "cStat=100" not in row["notable_features"] or len(row["access_key"]) != 44:
                continue
            if "mod" + model not in row["notable_features"] or "embedded-retEvento" in row["notable_features"]:
                continue
            out.append((os.path.join(CORPUS, row["file"]), row["access_key"].encode()))
    return out


def with_items(data, count):
    """The document with its det elements replaced by `count` clones."""
    dets = DET_RE.findall(data)
    if not dets:
        return data
    first = DET_RE.search(data).start()
    last = [m for m in DET_RE.finditer(data)][-1].end()
    clones = []
    for i in range(count):
        det = dets[i % len(dets)]
        clones.append(re.sub(rb"^<det nItem=\"\d+\">", b'<det nItem="%d">' % (i + 1), det))
    return data[:first] + b"".join(clones) + data[last:]


def rekey(data, old_key, new_key):
    return data.replace(old_key, new_key)


def make_key(n, rng, model=55):
    # cUF 35, a date, a CNPJ, the model, series, number and a code: 44
    # digits that are unique per n.
    return b"35%02d%02d%014d%02d001%09d1%08d%d" % (rng.randint(18, 24), rng.randint(1, 12),
                                                 rng.randint(10**13, 10**14 - 1), model, n,
                                                 rng.randint(0, 10**8 - 1), rng.randint(0, 9))


def cmd_folder(args):
    rng = random.Random(args.seed)
    sources = []
    for path, key in authorised_nfe():
        with open(path, "rb") as f:
            data = f.read()
        if key in data:
            sources.append((data, key))
    if args.size:
        sources = [(d, k) for d, k in sources if len(d) <= args.size] or [min(sources, key=lambda s: len(s[0]))]
    os.makedirs(args.dir, exist_ok=True)
    keys = sorted({make_key(n, rng) for n in range(args.count)})
    total = 0
    for i, key in enumerate(keys):
        data, old = sources[rng.randrange(len(sources))]
        # Sizes from a few KB to ~200 KB, most of them small, as in a real
        # download folder.
        target = args.size or int(min(args.max_size, 4000 * (50 ** rng.random() ** 2)))
        doc = rekey(data, old, key)
        if len(doc) < target:
            dets = DET_RE.findall(doc)
            if dets:
                per_item = max(1, sum(len(d) for d in dets) // len(dets))
                doc = with_items(doc, max(len(dets), (target - len(doc)) // per_item + len(dets)))
        name = key.decode() + "-procNFe.xml"
        with open(os.path.join(args.dir, name), "wb") as f:
            f.write(doc)
        total += len(doc)
    print(keys[-1].decode())
    print(f"{len(keys)} files, {total} bytes", file=sys.stderr)


def cmd_nfce(args):
    rng = random.Random(args.seed)
    sources = []
    for path, key in authorised_nfe("65"):
        with open(path, "rb") as f:
            data = f.read()
        if key in data:
            sources.append((data, key))
    os.makedirs(args.dir, exist_ok=True)
    keys = sorted({make_key(n, rng, 65) for n in range(args.count)})
    total = 0
    for key in keys:
        data, old = sources[rng.randrange(len(sources))]
        doc = rekey(data, old, key)
        with open(os.path.join(args.dir, key.decode() + "-procNFCe.xml"), "wb") as f:
            f.write(doc)
        total += len(doc)
    print(keys[-1].decode())
    print(total // len(keys), file=sys.stderr)


EVENT = """<?xml version="1.0" encoding="UTF-8"?>
<procEventoNFe xmlns="http://www.portalfiscal.inf.br/nfe" versao="1.00"><evento versao="1.00"><infEvento Id="ID{tp}{key}01">\
<cOrgao>35</cOrgao><tpAmb>1</tpAmb><CNPJ>{cnpj}</CNPJ><chNFe>{key}</chNFe><dhEvento>2024-06-11T10:00:00-03:00</dhEvento>\
<tpEvento>{tp}</tpEvento><nSeqEvento>1</nSeqEvento><verEvento>1.00</verEvento><detEvento versao="1.00">\
<descEvento>{desc}</descEvento>{det}</detEvento></infEvento></evento><retEvento versao="1.00"><infEvento>\
<tpAmb>1</tpAmb><verAplic>SP_EVENTOS_PL_100</verAplic><cOrgao>35</cOrgao><cStat>135</cStat>\
<xMotivo>Evento registrado e vinculado a NF-e</xMotivo><chNFe>{key}</chNFe><tpEvento>{tp}</tpEvento>\
<nSeqEvento>1</nSeqEvento><dhRegEvento>2024-06-11T10:00:05-03:00</dhRegEvento><nProt>135240000999999</nProt>\
</infEvento></retEvento></procEventoNFe>
"""


def cmd_events(args):
    key = args.key
    cnpj = key[6:20]
    letter = EVENT.format(tp="110110", key=key, cnpj=cnpj, desc="Carta de Correcao",
                          det="<xCorrecao>Dados adicionais corrigidos</xCorrecao>")
    cancel = EVENT.format(tp="110111", key=key, cnpj=cnpj, desc="Cancelamento",
                          det="<nProt>135240000123456</nProt><xJust>Erro na emissao da nota</xJust>")
    for name, text in (("evento-110110.xml", letter), ("evento-110111.xml", cancel)):
        with open(os.path.join(args.dir, name), "w", encoding="utf-8") as f:
            f.write(text)


def cmd_items(args):
    path = os.path.join(CORPUS, ITEMS_SOURCE)
    with open(path, "rb") as f:
        data = f.read()
    old = next(k for p, k in authorised_nfe() if p == path)
    key = args.key.encode() if args.key else old
    doc = with_items(rekey(data, old, key), args.items)
    with open(args.file, "wb") as f:
        f.write(doc)
    print(key.decode())
    print(f"{args.items} items, {len(doc)} bytes", file=sys.stderr)


def hostile(kind, count):
    if kind == "attributes":
        attrs = b"".join(b' a%d="1"' % i for i in range(count))
        return b'<?xml version="1.0"?><nfeProc><protNFe' + attrs + b"/></nfeProc>"
    if kind == "names":
        return b'<?xml version="1.0"?><nfeProc>' + b"".join(b"<n%d/>" % i for i in range(count)) + b"</nfeProc>"
    if kind == "items":
        with open(os.path.join(CORPUS, ITEMS_SOURCE), "rb") as f:
            data = f.read()
        dets = list(DET_RE.finditer(data))
        tiny = b"".join(b'<det nItem="%d"><prod><c/></prod></det>' % (i + 1) for i in range(count))
        return data[:dets[0].start()] + tiny + data[dets[-1].end():]
    if kind == "entities":
        return (b'<?xml version="1.0"?><!DOCTYPE nfeProc [<!ENTITY b "y"><!ENTITY a "&b;&b;&b;&b;&b;&b;&b;&b;">]>'
                b"<nfeProc><protNFe><infProt><xMotivo>" + b"&a;" * count + b"</xMotivo></infProt></protNFe></nfeProc>")
    if kind == "defaults":
        attlist = b"<!ATTLIST x" + b"".join(b' d%d CDATA "v"' % i for i in range(2000)) + b">"
        return (b'<?xml version="1.0"?><!DOCTYPE nfeProc [' + attlist + b"]><nfeProc>" + b"<x/>" * count +
                b"</nfeProc>")
    raise SystemExit("unknown kind " + kind)


def cmd_hostile(args):
    doc = hostile(args.kind, args.count)
    with open(args.file, "wb") as f:
        f.write(doc)
    print(f"{args.kind} {args.count}, {len(doc)} bytes", file=sys.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="cmd", required=True)
    folder = sub.add_parser("folder")
    folder.add_argument("dir")
    folder.add_argument("--count", type=int, default=5000)
    folder.add_argument("--seed", type=int, default=1)
    folder.add_argument("--max-size", type=int, default=200_000)
    folder.add_argument("--size", type=int, default=0)
    nfce = sub.add_parser("nfce")
    nfce.add_argument("dir")
    nfce.add_argument("--count", type=int, default=2000)
    nfce.add_argument("--seed", type=int, default=1)
    events = sub.add_parser("events")
    events.add_argument("dir")
    events.add_argument("--key", required=True)
    items = sub.add_parser("items")
    items.add_argument("file")
    items.add_argument("--items", type=int, required=True)
    items.add_argument("--key")
    bad = sub.add_parser("hostile")
    bad.add_argument("file")
    bad.add_argument("--kind", required=True)
    bad.add_argument("--count", type=int, required=True)
    args = parser.parse_args()
    {"folder": cmd_folder, "nfce": cmd_nfce, "events": cmd_events, "items": cmd_items,
     "hostile": cmd_hostile}[args.cmd](args)


if __name__ == "__main__":
    main()
