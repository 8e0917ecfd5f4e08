import lumera

text = b"<root><item>one</item><item>two</item></root>"
packed = lumera.compress(text, level=9)
assert lumera.decompress(packed) == text
print(len(text), "bytes ->", len(packed), "bytes, round trip: ok")
for event in lumera.explain(packed)[:3]:
    print(event)
