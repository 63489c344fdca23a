"""Rewrites an sdist tarball in place so that its bytes depend only on its
contents: members sorted by name, owned by root, modes 0644/0755, every time
SOURCE_DATE_EPOCH, gzip without a name or time."""
import gzip
import io
import os
import sys
import tarfile

path = sys.argv[1]
epoch = int(os.environ["SOURCE_DATE_EPOCH"])
with tarfile.open(path, "r:gz") as source:
    members = sorted(source.getmembers(), key=lambda m: m.name)
    contents = {m.name: source.extractfile(m).read() for m in members if m.isfile()}

buffer = io.BytesIO()
with tarfile.open(fileobj=buffer, mode="w", format=tarfile.PAX_FORMAT) as target:
    for member in members:
        member.mtime = epoch
        member.uid = member.gid = 0
        member.uname = member.gname = "root"
        member.pax_headers = {}
        executable = member.isdir() or member.mode & 0o111
        member.mode = 0o755 if executable else 0o644
        data = contents.get(member.name)
        target.addfile(member, io.BytesIO(data) if data is not None else None)
with open(path, "wb") as out:
    with gzip.GzipFile(filename="", mode="wb", fileobj=out, mtime=epoch, compresslevel=9) as packed:
        packed.write(buffer.getvalue())
