"""The build backend pyproject.toml names: pip's way to build vornhold.

build_wheel runs the project's CMake (the python preset) to build the extension vornhold._kit for
the Python running pip, and zips it with the package folder python/vornhold/ into a wheel. Only the
standard library is used, so pip needs nothing from an index: `pip install .` works offline, in
build isolation or without it, in Debian's Python and in a venv made from it.

The build folder is build/python for Debian's /usr/bin/python3 (and every venv made from it, whose
extension is the same), build/python-TAG-HASH for another interpreter; a build reuses what is
there. `--config-settings build-dir=FOLDER` (relative to the checkout) builds in a CMake build
folder configured already, such as build/default, instead.
"""

import base64
import hashlib
import io
import os
import re
import subprocess
import sys
import sysconfig
import tarfile
import time
import tomllib
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = os.path.join(ROOT, "python", "vornhold")
DEBIAN_PYTHON = "/usr/bin/python3"


def _project():
    """pyproject.toml's [project] table, with the version the CMake project declares."""
    with open(os.path.join(ROOT, "pyproject.toml"), "rb") as file:
        project = tomllib.load(file)["project"]
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as file:
        declared = re.search(r"project\(\s*vornhold\s+VERSION\s+([0-9.]+)", file.read())
    if not declared:
        sys.exit("vornhold: CMakeLists.txt declares no project(vornhold VERSION ...)")
    return {**project, "version": declared.group(1)}


def _metadata(project):
    """The package's core metadata (METADATA in a wheel, PKG-INFO in a source archive)."""
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}", f"Version: {project['version']}",
             f"Summary: {project['description']}", f"License: {project['license']['text']}",
             f"Requires-Python: {project['requires-python']}"]
    for extra, requirements in project.get("optional-dependencies", {}).items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f'Requires-Dist: {requirement}; extra == "{extra}"' for requirement in requirements]
    return "\n".join(lines) + "\n"


def _tag():
    """The wheel's tag for this interpreter, e.g. cp311-cp311-linux_x86_64: the extension is built
    for its version, its ABI and its platform."""
    implementation = {"cpython": "cp", "pypy": "pp"}.get(sys.implementation.name, sys.implementation.name)
    python = f"{implementation}{sys.version_info.major}{sys.version_info.minor}"
    soabi = (sysconfig.get_config_var("SOABI") or "").split("-")
    if soabi[0] == "cpython" and len(soabi) > 1:
        abi = "cp" + soabi[1]
    else:
        abi = "_".join(soabi[:2]).replace(".", "_") or "none"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{python}-{abi}-{platform}"


def _base_interpreter():
    """The interpreter a venv was made from (itself outside one): CMake reads its headers and
    settings, which every venv made from it shares, and it outlives the venv."""
    return os.path.realpath(getattr(sys, "_base_executable", None) or sys.executable)


def _run(command):
    try:
        subprocess.run(command, cwd=ROOT, check=True)
    except FileNotFoundError:
        sys.exit(f"vornhold: {command[0]} is not installed; building the module needs CMake, Ninja, a C++ "
                 "compiler, Python's headers and pybind11 (on Debian, as root: bash scripts/python.sh "
                 "installs them)")
    except subprocess.CalledProcessError as failed:
        sys.exit(f"vornhold: {' '.join(command)} failed (exit status {failed.returncode}); its output is above")


def _built_extension(config_settings):
    """Builds vornhold._kit; returns the path of the extension module."""
    given = (config_settings or {}).get("build-dir")
    interpreter = _base_interpreter()
    if given:
        folder = os.path.join(ROOT, given)
    elif interpreter == os.path.realpath(DEBIAN_PYTHON):
        folder = os.path.join(ROOT, "build", "python")
    else:
        folder = os.path.join(ROOT, "build", f"python-{_tag()}-{hashlib.sha1(interpreter.encode()).hexdigest()[:8]}")
    if not os.path.exists(os.path.join(folder, "CMakeCache.txt")):
        _run(["cmake", "--preset", "python", "-B", folder, f"-DVORN_PYTHON={interpreter}"])
    _run(["cmake", "--build", folder, "--target", "vorn_python"])
    extension = os.path.join(folder, "python", "vornhold", "_kit" + sysconfig.get_config_var("EXT_SUFFIX"))
    if not os.path.isfile(extension):
        sys.exit(f"vornhold: {folder} holds no {os.path.basename(extension)}: it builds the module for another "
                 "Python than this one")
    return extension


def _zip_time():
    """The time stamped on every archived file: SOURCE_DATE_EPOCH's when set, else a fixed one, so
    that the same files give the same archive."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    return max(int(epoch), 315532800) if epoch else 315532800  # zip dates begin in 1980


def _package_files():
    """The package as it is installed: every module, stub and marker in python/vornhold/."""
    names = sorted(name for name in os.listdir(PACKAGE) if name.endswith((".py", ".pyi")) or name == "py.typed")
    return [(f"vornhold/{name}", os.path.join(PACKAGE, name)) for name in names]


def _dist_info(project):
    return f"{project['name']}-{project['version']}.dist-info"


def _wheel_file(tag):
    return f"Wheel-Version: 1.0\nGenerator: vornhold wheel_backend\nRoot-Is-Purelib: false\nTag: {tag}\n"


def _read(path):
    with open(path, "rb") as file:
        return file.read()


def _digest(data):
    return "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    project = _project()
    tag = _tag()
    extension = _built_extension(config_settings)
    files = [(name, _read(path), 0o644) for name, path in _package_files()]
    files.append((f"vornhold/{os.path.basename(extension)}", _read(extension), 0o755))
    dist_info = _dist_info(project)
    files.append((f"{dist_info}/METADATA", _metadata(project).encode(), 0o644))
    files.append((f"{dist_info}/WHEEL", _wheel_file(tag).encode(), 0o644))
    # RECORD lists every file with its digest and length, itself last and without them.
    record = "".join(f"{name},{_digest(data)},{len(data)}\n" for name, data, _ in files)
    files.append((f"{dist_info}/RECORD", f"{record}{dist_info}/RECORD,,\n".encode(), 0o644))

    wheel_name = f"{project['name']}-{project['version']}-{tag}.whl"
    stamp = time.gmtime(_zip_time())[:6]
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel_name), "w") as wheel:
        for name, data, mode in files:
            info = zipfile.ZipInfo(name, stamp)
            info.external_attr = (0o100000 | mode) << 16
            wheel.writestr(info, data, zipfile.ZIP_DEFLATED)
    return wheel_name


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    """The wheel's metadata without building it, so that pip learns what it installs at once."""
    project = _project()
    dist_info = _dist_info(project)
    os.makedirs(os.path.join(metadata_directory, dist_info), exist_ok=True)
    for name, text in (("METADATA", _metadata(project)), ("WHEEL", _wheel_file(_tag()))):
        with open(os.path.join(metadata_directory, dist_info, name), "w", encoding="utf-8") as file:
            file.write(text)
    return dist_info


def _source_files():
    """The checkout's files: the ones git tracks, or outside git every file but the build folders."""
    try:
        listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout
        return sorted(name for name in listed.decode().split("\0") if name and os.path.exists(os.path.join(ROOT, name)))
    except (OSError, subprocess.CalledProcessError):
        found = []
        for folder, subfolders, names in os.walk(ROOT):
            subfolders[:] = [name for name in subfolders
                             if not name.startswith(".") and not (folder == ROOT and name == "build")]
            found += [os.path.relpath(os.path.join(folder, name), ROOT) for name in names]
        return sorted(found)


def build_sdist(sdist_directory, config_settings=None):
    project = _project()
    base = f"{project['name']}-{project['version']}"
    stamp = _zip_time()

    def stamped(info):
        info.mtime, info.uid, info.gid, info.uname, info.gname = stamp, 0, 0, "", ""
        return info

    with tarfile.open(os.path.join(sdist_directory, base + ".tar.gz"), "w:gz") as sdist:
        for name in _source_files():
            sdist.add(os.path.join(ROOT, name), f"{base}/{name}", recursive=False, filter=stamped)
        info = stamped(tarfile.TarInfo(f"{base}/PKG-INFO"))
        metadata = _metadata(project).encode()
        info.size, info.mode = len(metadata), 0o644
        sdist.addfile(info, io.BytesIO(metadata))
    return base + ".tar.gz"
