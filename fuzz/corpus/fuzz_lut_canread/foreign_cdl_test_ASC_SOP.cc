<ColorCorrection id="foo">
  <ASC_SOP>
    <Description>this is a description</Description>
    <Slope>1.1 1.2 1.3</Slope>
    <Offset>2.1 2.2 2.3</Offset>
    <Power>3.1 3.2 3.3</Power>
  </ASC_SOP>
  <SatNode>
    <Saturation>0.42</Saturation>
  </SatNode>
</ColorCorrection>