#!/usr/bin/env python3
"""Writes synthetic Stowlist reports of both kinds (archive reports and tabbed
directory listings) with realistic names, ENTRIES entries in all, into FOLDER.
    generate_reports.py FOLDER ENTRIES [PER_REPORT]"""
import os
import random
import sys

WORDS = ("holiday photo img dsc scan invoice report draft final backup music track album video clip "
         "project thesis notes budget tax letter contract manual setup driver readme archive data "
         "München Köln café résumé naïve").split()
EXTS = ".jpg .png .txt .pdf .doc .mp3 .flac .mkv .zip .tar.gz .iso .cpp .h .xlsx".split()


def name(rng):
    parts = [rng.choice(WORDS) for _ in range(rng.randint(1, 3))]
    sep = rng.choice((" ", "_", "-", ""))
    return sep.join(parts) + (str(rng.randint(0, 9999)) if rng.random() < 0.7 else "") + rng.choice(EXTS)


def main():
    folder, total = sys.argv[1], int(sys.argv[2])
    per = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    rng = random.Random(12)
    os.makedirs(folder, exist_ok=True)
    written, index = 0, 0
    while written < total:
        count = min(per, total - written)
        path = os.path.join(folder, "report%04d.txt" % index)
        with open(path, "w", encoding="utf-8", newline="") as out:
            if index % 2 == 0:
                for i in range(count):
                    out.write("%s\t%d\t03/05/26\t14:07:09\tCD%02d-%02d\r\n"
                              % (name(rng), rng.randint(0, 10**9), index % 100, i // 1000 % 100))
            else:
                files, folders, done, f = 0, 0, 0, 0
                while done < count:
                    header = "/MEDIA/DISK%d/%s/%s" % (index, name(rng).upper(), f)
                    out.write(("\r\n" if f else "") + header + "\r\n\r\n")
                    for _ in range(min(200, count - done)):
                        n = name(rng).upper()
                        if rng.random() < 0.05:
                            out.write("%s\t<FOLDER>\t03/05/26\t14:07:09\t%s\r\n" % (n, n))
                        else:
                            out.write("%s\t%d\t03/05/26\t14:07:09\t%s\r\n" % (n, rng.randint(0, 10**8), n))
                            files += 1
                        done += 1
                    f += 1
                    folders += 1
                out.write("\r\nSummary: %d Folder(s), %d File(s)\t0 Bytes" % (folders, files))
        written += count
        index += 1


if __name__ == "__main__":
    main()
