#!/usr/bin/env python3
"""Writes the committed seed corpus of the bar-file reader's fuzzer: one
small file of each layout the reader knows, after the byte that picks the
reading options (0: all found from the file).

    python3 fuzz/make_csv_seeds.py fuzz/csv_corpus

Inputs with which the fuzzer found a fault are kept in the corpus beside
these (long-digit-run, empty-date-beside-time).
"""
import os
import sys

NO_HEADER = [
    "2024.01.02,00:00,1.10427,1.10500,1.10300,1.10400,1234",
    "2024.01.02,01:00,1.10400,1.10600,1.10350,1.10550,1000",
    "2024.01.02,02:00,1.10550,1.10700,1.10450,1.10600,900",
]

SEEDS = {
    "iso-comma": "time,open,high,low,close\n2024-01-02,100.5,101.2,99.8,100.9\n"
                 "2024-01-03,100.9,102,100.1,101.7\n2024-01-04,101.7,101.9,100.2,100.4\n",
    "german-semicolon": "Datum;Eröffnung;Hoch;Tief;Schluss\r\n02.01.2024;1.100,50;1.102,00;1.098,25;1.100\r\n"
                        "03.01.2024;1.100,50;1.103,00;1.097,25;1.101,75\r\n",
    "mt5-tab": "<DATE>\t<TIME>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\t<TICKVOL>\n"
               "2024.01.02\t00:00:00\t1.1\t1.2\t1.0\t1.1\t5\n2024.01.02\t01:00:00\t1.1\t1.3\t1.0\t1.1\t5\n",
    "pipe-epoch": "time|high|low\n1704187800|101.2|99.8\n1704187860|101.4|99.9\n1704187920|101.1|99.5\n",
    "mt4-no-header": "\n".join(NO_HEADER) + "\n",
    "ninja-no-header": "20240102 093000;1.1042;1.105;1.103;1.1045;17\n20240102 093100;1.1045;1.106;1.104;1.1050;3\n",
    "finam-bom": "\ufeff<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>\n"
                 "SBER,D,20240103,000000,271.9,274.7,270.93,274.18,2335330\n"
                 "SBER,D,20240102,000000,271.9,275.7,270.93,274.18,2335330\n",
    "investing-quoted": '"Date","Price","Open","High","Low","Vol.","Change %"\n'
                        '"01/03/2024","51,994.63","52,001.10","52,100.00","51,800.25","1.2K","-0.5%"\n'
                        '"01/02/2024","52,000","52,001.10","53,100.00","51,800.25","1.2K","-0.5%"\n',
    "yahoo-null": "Date,Open,High,Low,Close,Adj Close,Volume\n2020-03-03,1,2,0.5,1,1,100\n"
                  "2020-03-04,null,null,null,null,null,null\n2020-03-05,1,3,0.5,1,1,100\n",
    "nasdaq-dollar": "Date,Close/Last,Volume,Open,High,Low\n01/03/2024,$185.64,82488700,$187.15,$188.44,$183.885\n"
                     "01/02/2024,$185.64,82488700,$187.15,$189.44,$183.885\n",
    "dukascopy": "Gmt time,Open,High,Low,Close,Volume\n02.01.2024 00:00:00.000,1.1,1.2,1.0,1.1,0\n"
                 "02.01.2024 01:00:00.000,1.1,1.3,1.0,1.2,0\n",
    "zone-and-gaps": "timestamp,open,high,low,close\n2024-01-02T09:30:00-05:00,1,2,0.5,1\n"
                     "2024-01-02T09:45:00-05:00,,,,\n2024-01-02T10:00:00-05:00,1,2,0.5,1.5\n",
    "month-names": 'Date,High,Low\n"Jan 03, 2024",101.2,99.8\n"Jan 02, 2024",100.9,99.1\n',
    "sep-line": "sep=;\nDate;High;Low\n2024-01-02;101,2;99,8\n2024-01-03;101,5;99,9\n",
    "french-spaces": "Date;Ouverture;Plus haut;Plus bas;Clôture\n02/01/2024;1\u00a0234,5;1\u00a0240,25;1\u00a0230;1\u00a0236\n",
    "mixed-order": "time,high,low\n2024-01-02,2,1\n2024-01-04,2,1\n2024-01-03,2,1\n",
}


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for name, text in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"\0" + text.encode("utf-8"))
    with open(os.path.join(folder, "russian-cp1251"), "wb") as f:
        f.write(b"\0" + "Дата;Макс.;Мин.\r\n02.01.2024;1,5;1,25\r\n03.01.2024;1,75;1,5\r\n".encode("cp1251"))
    with open(os.path.join(folder, "portuguese-utf16"), "wb") as f:
        f.write(b"\0" + "\ufeffData\tMáxima\tMínima\n02/01/2024\t1,5\t1,25\n13/01/2024\t1,75\t1,5\n".encode("utf-16-le"))
    with open(os.path.join(folder, "columns-option"), "wb") as f:  # 0x80: --columns time,open,high,low,close
        f.write(b"\x80" + "1704187800,1,2,0.5,1\n1704187860,1,2.5,0.5,2\n".encode())


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "fuzz/csv_corpus")
