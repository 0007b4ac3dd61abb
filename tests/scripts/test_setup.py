"""The set-up check that scripts/setup, scripts/demo and scripts/test share: quick when everything is
installed, and clear about what is missing when it cannot install it.

The missing cases use a package list with a package that does not exist (VOP_PACKAGES), so nothing
is ever installed on this machine."""

import os
import pathlib
import shutil
import subprocess
import tempfile
import time

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("VOP_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
SCRIPTS = SOURCE_DIR / "scripts"
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
needs_root = pytest.mark.skipif(os.geteuid() != 0, reason="switches to another user / runs apt-get as root")


@pytest.fixture
def public_dir():
    """A folder every user can read (pytest's own are private to root)."""
    path = pathlib.Path(tempfile.mkdtemp(prefix="vop-setup-"))
    path.chmod(0o755)
    yield path
    shutil.rmtree(path, ignore_errors=True)


def package_list(folder, *names):
    path = folder / "packages.txt"
    path.write_text("# test list\n" + "\n".join(names) + "\n", encoding="utf-8")
    path.chmod(0o644)
    return path


def run(command, timeout=60, **env):
    return subprocess.run([str(part) for part in command], capture_output=True, text=True, timeout=timeout,
                          env=dict(os.environ, **env))


def test_everything_installed_is_checked_in_under_a_second_and_installs_nothing():
    start = time.monotonic()
    done = run([SCRIPTS / "setup", "--check"])
    elapsed = time.monotonic() - start
    assert done.returncode == 0, done.stdout + done.stderr
    assert "nothing is missing" in done.stdout
    assert elapsed < 1.0, elapsed
    done = run([SCRIPTS / "setup", "--no-build"])
    assert done.returncode == 0, done.stderr
    assert "installing" not in done.stderr and "apt-get" not in done.stderr


def test_check_names_a_missing_package(public_dir):
    done = run([SCRIPTS / "setup", "--check"], VOP_PACKAGES=str(package_list(public_dir, "coreutils", "vop-no-such-package")))
    assert done.returncode == 1
    assert done.stdout.split("missing:")[1].split() == ["vop-no-such-package"]


@needs_root
@pytest.mark.skipif(shutil.which("sudo") is not None, reason="sudo is installed: the user would be asked for it")
@pytest.mark.parametrize("script", ["setup", "test", "demo"])
def test_a_user_without_root_or_sudo_is_told_what_to_run_as_root(public_dir, script):
    packages = package_list(public_dir, "coreutils", "vop-no-such-package")
    done = run(NOBODY + [SCRIPTS / script], VOP_PACKAGES=str(packages), HOME=str(public_dir),
               QT_QPA_PLATFORM="offscreen")
    assert done.returncode == 1, done.stderr
    assert "%s: missing: vop-no-such-package" % script in done.stderr
    assert "run as root: apt-get install -y --no-install-recommends vop-no-such-package" in done.stderr
    # It stops before anything else (no build, no demo store): every line is its own.
    assert all(line.startswith(script + ": ") for line in done.stderr.splitlines()), done.stderr


@needs_root
def test_an_unreachable_archive_is_named_with_what_did_and_did_not_get_installed(public_dir):
    # apt-get itself, with an archive that refuses every connection (a proxy on a closed port) and
    # no retries; the machine's package lists are kept when their refresh fails.
    apt_config = public_dir / "apt.conf"
    apt_config.write_text('Acquire::Retries "0";\nAcquire::http::Proxy "http://127.0.0.1:9";\n'
                          'Acquire::https::Proxy "http://127.0.0.1:9";\n', encoding="utf-8")
    packages = package_list(public_dir, "coreutils", "vop-no-such-package")
    done = run([SCRIPTS / "setup", "--no-build"], timeout=240, VOP_PACKAGES=str(packages), APT_CONFIG=str(apt_config))
    assert done.returncode == 1, done.stderr
    lines = [line for line in done.stderr.splitlines() if line.startswith("setup: ")]
    assert "setup: could not install everything: the package archive cannot be reached (no network?)" in lines
    assert "setup:   installed now: none" in lines
    assert "setup:   still missing: vop-no-such-package" in [line.rstrip() for line in lines]
