"""The manual pages: in their packages, silent under groff and mandoc,
mapdump(1) holding every line of mapdump --help, as text in the zips."""

import gzip
import re

import pytest

from commands import lines_without_cr_lf, run, zip_member
from package_paths import VERSION, ZIP_PLATFORMS, zip_path

PAGES = ("mapdump.1", "tamrix_map.3")


@pytest.mark.parametrize("deb_index, member", [(2, "./usr/share/man/man1/mapdump.1.gz"),
                                               (1, "./usr/share/man/man3/tamrix_map.3.gz")],
                         ids=["tamrix-map-tools has mapdump(1)", "libtamrix-map-dev has tamrix_map(3)"])
def test_package_holds_its_page(debs, deb_index, member):
    listing = run(["dpkg-deb", "-c", debs[deb_index]]).stdout.decode()
    assert any(line.endswith(" " + member) for line in listing.splitlines()), (
        f"{debs[deb_index].name} has no {member}")


def page_file(deb_root, page):
    """The page from the unpacked packages, uncompressed beside them."""
    source = deb_root / f"usr/share/man/man{page.rsplit('.', 1)[1]}/{page}.gz"
    target = deb_root.parent / page
    if not target.exists():
        target.write_bytes(gzip.decompress(source.read_bytes()))
    return target


def page_as_text(path, *options):
    """The page as mandoc -T ascii shows it, less its overstrikes (col -bx)."""
    return run(["col", "-bx"], input=run(["mandoc", "-T", "ascii", *options, path], ok=False).stdout).stdout


@pytest.mark.parametrize("page", PAGES)
def test_page_is_silent_under_groff_and_mandoc(deb_root, page):
    path = page_file(deb_root, page)
    groff = run(["groff", "-ww", "-z", "-man", path], ok=False)
    mandoc = run(["mandoc", "-T", "lint", path], ok=False)
    complaints = (groff.stdout + groff.stderr + mandoc.stdout + mandoc.stderr).decode().rstrip("\n")
    assert complaints == "", f"{page}: groff -ww -z or mandoc -T lint complains:\n{complaints}"


def zip_text(platform, page):
    text = f"doc/{page.rsplit('.', 1)[0]}.txt"
    data = zip_member(zip_path(platform), f"tamrix_map-{VERSION}-{platform}/{text}")
    assert data is not None, f"the {platform} zip has no {text}"
    return data


@pytest.mark.parametrize("platform", ZIP_PLATFORMS)
@pytest.mark.parametrize("page", PAGES)
def test_zip_page_text_has_cr_lf(platform, page):
    bad = lines_without_cr_lf(zip_text(platform, page))
    assert not bad, f"{platform} zip: the text of {page} has lines without CR LF: {bad[:3]}"


@pytest.mark.parametrize("platform", ZIP_PLATFORMS)
@pytest.mark.parametrize("page", PAGES)
def test_zip_page_text_is_the_page(deb_root, platform, page):
    as_text = page_as_text(page_file(deb_root, page))
    assert zip_text(platform, page).replace(b"\r", b"") == as_text, f"{platform} zip: its text is not {page} as text"


def test_mapdump_page_holds_every_help_line(deb_root, tree):
    """Each line of mapdump --help stands in the page, however the page wraps it."""
    rendered = page_as_text(page_file(deb_root, "mapdump.1"), "-O", "width=1000").decode()
    words = re.sub(" +", " ", rendered.replace("\n", " "))
    help_text = run([tree / "bin" / "mapdump", "--help"]).stdout.decode()
    lines = [re.sub(r"^ *or:", "", re.sub(r"^Usage:", "", line)) for line in help_text.splitlines()]
    lines = [re.sub(r"^ ", "", re.sub(" +", " ", line)) for line in lines]
    missing = [line for line in lines if line and line not in words]
    assert not missing, "mapdump(1) lacks these lines of mapdump --help:\n" + "\n".join(missing)
